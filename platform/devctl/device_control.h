#pragma once
// Device control: named devices of a host driver, opened by name and asked
// synchronous requests by code with an input and an output buffer (the
// host driver's Z2Mixer0..7 devices). Every request blocks until the driver
// has answered.
//
// Errors, in the shape of the system's device calls: a call that fails
// returns its failure value (kNoDevice, false), and LastError() then says
// why in words: the device, the request code and the system's own text.
// A call that succeeds leaves it as it was. Closing cannot fail in a way
// the caller could act on.
#include <cstdint>
#include <string>

#include "platform/core/service.h"

namespace platform {

// Opaque; kNoDevice when not open.
using DeviceHandle = intptr_t;
constexpr DeviceHandle kNoDevice = -1;

class DeviceControl {
 public:
  virtual ~DeviceControl() = default;
  // Opens the device `name` (as the driver publishes it, for example
  // "\\.\Z2Mixer0") for reading and writing. Returns kNoDevice when there
  // is no such device or it cannot be opened; LastError then says why.
  virtual DeviceHandle OpenDevice(const char* name) = 0;
  // Sends request `code` with `inSize` bytes of `in` and lets the driver
  // write up to `outSize` bytes into `out` (which may be the same memory);
  // the count written goes to `returned` when not null. Returns true when
  // the driver completed the request, false when it failed or the handle is
  // not open (LastError says which).
  virtual bool Request(DeviceHandle device, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* returned) = 0;
  // Closes a device opened by OpenDevice; kNoDevice is ignored.
  virtual void CloseDevice(DeviceHandle device) = 0;
  // A readable description of the last failure of OpenDevice or Request,
  // naming the device (and the request code); "" before any failure.
  virtual std::string LastError() = 0;
};

// The device-control service in force.
inline DeviceControl& Devices() { return Use<DeviceControl>(); }

}  // namespace platform
