#pragma once
// CZTUSB: the binding to the VE-ZER card driver's programming library. It
// finds and loads the library below the program-files folder, resolves its
// 27 entry points, opens the card as a USB device and runs the DFU download
// of a firmware image held in memory. The remote owns one while the
// selected unit carries a VE-ZER card reached over MIDI, and also calls its
// sample-rate entry points directly with the device handle.
#include <cstdint>
#include <string>

#include "platform/core/dynamic_library.h"
#include "protocol/card_updater.h"
#include "transports/ztusb_api.h"

class CZTUSB final : public CCardUpdater {
 public:
  // A download whose state and progress stay unchanged this long has
  // stopped: the loop ends as failed instead of holding the window.
  static constexpr uint32_t kDfuStallMs = 60000;

  // The driver's library, candidate `row` (0..kLibraryCandidates-1) below
  // the program-files folder `folder`, as the driver's installer names it;
  // platform::SharedLibraryName gives the file loaded here.
  static constexpr int kLibraryCandidates = 4;
  static std::string LibraryCandidate(const std::string& folder, int row);

  CZTUSB() = default;
  ~CZTUSB() override;
  CZTUSB(const CZTUSB&) = delete;
  CZTUSB& operator=(const CZTUSB&) = delete;

  // Loads the library, resolves the entry points and opens USB device
  // `index`. True when the device is open and described; false otherwise
  // (the caller deletes the object).
  bool Open(uint32_t index) override;
  // Closes the device, unloads the library and forgets the entry points.
  // Safe to call more than once; always true.
  bool Release();
  // Downloads `size` bytes of `image` into the card by DFU, showing the
  // bytes done on `progress` (may be null). True on success.
  bool ProgramUsbFirmware(const uint8_t* image, uint32_t size, CZTUSBProgress* progress) override;
  // TUSBAUDIO_SetSampleRate and TUSBAUDIO_GetCurrentSampleRate with the
  // open device.
  CardStatus SetSampleRate(uint32_t hz) override;
  CardStatus GetCurrentSampleRate(uint32_t* hz) override;

  // The open device (0 when none).
  TUsbAudioHandle DeviceHandle() const { return m_hDevice; }

  // State, in the driver binding's order; entry points are null when not
  // resolved.
  uint32_t m_dwUsbDeviceIndex = 0xFFFFFFFF;
  platform::LibraryHandle m_hLibrary = nullptr;
  TUsbAudioHandle m_hDevice = 0;

  TUSBAUDIO_GetApiVersion_t m_pGetApiVersion = nullptr;
  TUSBAUDIO_CheckApiVersion_t m_pCheckApiVersion = nullptr;
  TUSBAUDIO_EnumerateDevices_t m_pEnumerateDevices = nullptr;
  TUSBAUDIO_GetDeviceCount_t m_pGetDeviceCount = nullptr;
  TUSBAUDIO_GetDriverInfo_t m_pGetDriverInfo = nullptr;
  TUSBAUDIO_OpenDeviceByIndex_t m_pOpenDeviceByIndex = nullptr;
  TUSBAUDIO_CloseDevice_t m_pCloseDevice = nullptr;
  TUSBAUDIO_GetDeviceProperties_t m_pGetDeviceProperties = nullptr;
  TUSBAUDIO_GetSupportedSampleRates_t m_pGetSupportedSampleRates = nullptr;
  TUSBAUDIO_GetCurrentSampleRate_t m_pGetCurrentSampleRate = nullptr;
  TUSBAUDIO_SetSampleRate_t m_pSetSampleRate = nullptr;
  TUSBAUDIO_GetUsbStreamingMode_t m_pGetUsbStreamingMode = nullptr;
  TUSBAUDIO_SetUsbStreamingMode_t m_pSetUsbStreamingMode = nullptr;
  TUSBAUDIO_GetASIOBufferSize_t m_pGetASIOBufferSize = nullptr;
  TUSBAUDIO_SetASIOBufferSize_t m_pSetASIOBufferSize = nullptr;
  TUSBAUDIO_LoadFirmwareImageFromBuffer_t m_pLoadFirmwareImageFromBuffer = nullptr;
  TUSBAUDIO_LoadFirmwareImageFromFile_t m_pLoadFirmwareImageFromFile = nullptr;
  TUSBAUDIO_GetFirmwareImageSize_t m_pGetFirmwareImageSize = nullptr;
  TUSBAUDIO_UnloadFirmwareImage_t m_pUnloadFirmwareImage = nullptr;
  TUSBAUDIO_GetFirmwareImage_t m_pGetFirmwareImage = nullptr;
  TUSBAUDIO_StartDfuDownload_t m_pStartDfuDownload = nullptr;
  TUSBAUDIO_StartDfuUpload_t m_pStartDfuUpload = nullptr;
  TUSBAUDIO_StartDfuRevertToFactoryImage_t m_pStartDfuRevertToFactoryImage = nullptr;
  TUSBAUDIO_GetDfuStatus_t m_pGetDfuStatus = nullptr;
  TUSBAUDIO_EndDfuProc_t m_pEndDfuProc = nullptr;
  TUSBAUDIO_StatusCodeStringW_t m_pStatusCodeStringW = nullptr;
  TUSBAUDIO_StatusCodeStringA_t m_pStatusCodeStringA = nullptr;

 private:
  bool FindLibrary();
  bool ResolveEntryPoints();
  void LogStatus(TUsbAudioStatus status);
  bool RunDfuLoop(CZTUSBProgress* progress);
};
