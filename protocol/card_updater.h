#pragma once
// The VE-ZER card updater as the engine and the update workflow use it. The
// card is not programmed over the remote protocol but by its USB driver; the
// binding to that driver lives with the transports and is made for the
// engine by the transport factory (TransportFactory::CreateCardUpdater).
#include <cstdint>

// Where ProgramUsbFirmware shows how far the download got. The window's
// progress bar stands behind it; the updater knows nothing of windows.
class CZTUSBProgress {
 public:
  virtual ~CZTUSBProgress() = default;
  // Sets the bar's range, once before the first position.
  virtual void SetRange(int low, int high) = 0;
  // Moves the bar; called on every pass of the download loop.
  virtual void SetPos(int pos) = 0;
};

// A status of the card driver: 0 is success.
using CardStatus = uint32_t;
constexpr CardStatus kCardStatusSuccess = 0;
// Setting the sample rate failed because a stream is active.
constexpr CardStatus kCardStatusDeviceBusy = 0xE0001001;

class CCardUpdater {
 public:
  virtual ~CCardUpdater() = default;
  // Loads the driver's library and opens USB device `index`. True when the
  // device is open; false otherwise (the caller deletes the object).
  virtual bool Open(uint32_t index) = 0;
  // Downloads `size` bytes of `image` into the card, showing the bytes done
  // on `progress` (may be null). True on success.
  virtual bool ProgramUsbFirmware(const uint8_t* image, uint32_t size, CZTUSBProgress* progress) = 0;
  // The driver's sample-rate calls on the open device, in Hz; each returns
  // the driver's status (non-zero when the device is not open).
  virtual CardStatus SetSampleRate(uint32_t hz) = 0;
  virtual CardStatus GetCurrentSampleRate(uint32_t* hz) = 0;
};
