// A simulated VE-ZER card driver library: the 27 TUSBAUDIO_* entry points
// over one or more simulated cards. It is a separate shared library that
// the binding loads at run time, so it cannot use the program's platform
// services: its switches come from the environment, read when they matter,
// and its DFU download advances by calls, not by time.
//
//   REFLASH_VEZER_DEVICES    number of cards (default 1)
//   REFLASH_VEZER_RATE       the cards' sample rate in Hz at enumeration (48000)
//   REFLASH_VEZER_IMAGE_OUT  file that receives each completed download
//   REFLASH_VEZER_FAULTS     comma-separated switches:
//     no-custom-ini   enumeration reports 0xE0001006 (and still enumerates)
//     stream-active   setting the sample rate reports 0xE0001001
//     load-fail       loading the image from the buffer fails
//     start-fail      starting the download fails
//     dfu-fail        the download stops half way in state 6; ending fails too
//     dfu-fail-quiet  as dfu-fail, but ending the procedure reports success
//     dfu-stall       the download never leaves state 4
//     status-error    every DFU status call itself reports an error
//
// Built twice: complete, and without TUSBAUDIO_StartDfuUpload
// (REFLASH_SIM_VEZER_WITHOUT_DFU_UPLOAD) for the missing-entry-point case.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "transports/ztusb_api.h"

#define TUSB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr uint32_t kApiVersion = 0x00040023;
constexpr TUsbAudioHandle kHandleBase = 0x1000;  // handles are never 0 and never equal an index
constexpr TUsbAudioStatus kInvalidHandle = 0xE0001002;
constexpr TUsbAudioStatus kInvalidParameter = 0xE0001003;
constexpr TUsbAudioStatus kNoImage = 0xE0001004;
constexpr TUsbAudioStatus kNotSupported = 0xE0001005;
constexpr TUsbAudioStatus kDfuFailed = 0xE0001010;
constexpr TUsbAudioStatus kStatusRead = 0xE0001011;
constexpr uint32_t kChunk = 4096;  // bytes per DFU status call

struct Driver {
  bool enumerated = false;
  uint32_t devices = 0;
  uint32_t rate = 48000;
  std::vector<bool> open;
  std::vector<uint8_t> image;
  bool imageLoaded = false;
  bool dfuRunning = false;
  uint32_t dfuState = 0;
  uint32_t dfuProgress = 0;
  uint32_t dfuCalls = 0;
  TUsbAudioStatus dfuResult = TSTATUS_SUCCESS;
};

Driver& State() {
  static Driver driver;
  return driver;
}

bool Fault(const char* name) {
  const char* faults = std::getenv("REFLASH_VEZER_FAULTS");
  if (faults == nullptr) return false;
  const std::string list = std::string(",") + faults + ",";
  return list.find(std::string(",") + name + ",") != std::string::npos;
}

uint32_t EnvNumber(const char* name, uint32_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
}

bool ValidHandle(TUsbAudioHandle device) {
  Driver& d = State();
  return device >= kHandleBase && device - kHandleBase < d.open.size() && d.open[device - kHandleBase];
}

void CopyWide(wchar_t* to, const wchar_t* from) {
  std::wcsncpy(to, from, kTUsbAudioStringChars - 1);
  to[kTUsbAudioStringChars - 1] = L'\0';
}

// The card keeps what it was programmed with; a test reads it back.
void StoreDownload() {
  const char* path = std::getenv("REFLASH_VEZER_IMAGE_OUT");
  if (path == nullptr || *path == '\0') return;
  if (FILE* f = std::fopen(path, "wb")) {
    std::fwrite(State().image.data(), 1, State().image.size(), f);
    std::fclose(f);
  }
}

}  // namespace

TUSB_EXPORT uint32_t TUSBAUDIO_GetApiVersion() { return kApiVersion; }

TUSB_EXPORT uint32_t TUSBAUDIO_CheckApiVersion(uint32_t major, uint32_t minor) {
  return major == (kApiVersion >> 16) && minor <= (kApiVersion & 0xFFFF) ? 1 : 0;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_EnumerateDevices() {
  Driver& d = State();
  d = Driver{};
  d.enumerated = true;
  d.devices = EnvNumber("REFLASH_VEZER_DEVICES", 1);
  d.rate = EnvNumber("REFLASH_VEZER_RATE", 48000);
  d.open.assign(d.devices, false);
  return Fault("no-custom-ini") ? TSTATUS_NO_CUSTOM_INI : TSTATUS_SUCCESS;
}

TUSB_EXPORT uint32_t TUSBAUDIO_GetDeviceCount() { return State().enumerated ? State().devices : 0; }

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetDriverInfo(TUsbAudioDriverInfo* info) {
  if (info == nullptr) return kInvalidParameter;
  *info = TUsbAudioDriverInfo{};
  info->apiVersionMajor = kApiVersion >> 16;
  info->apiVersionMinor = kApiVersion & 0xFFFF;
  info->driverVersionMajor = 4;
  info->driverVersionMinor = 35;
  info->driverVersionSub = 2;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_OpenDeviceByIndex(uint32_t index, TUsbAudioHandle* device) {
  Driver& d = State();
  if (device == nullptr || index >= d.devices) return kInvalidParameter;
  d.open[index] = true;
  *device = kHandleBase + index;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_CloseDevice(TUsbAudioHandle device) {
  if (!ValidHandle(device)) return kInvalidHandle;
  State().open[device - kHandleBase] = false;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetDeviceProperties(TUsbAudioHandle device,
                                                          TUsbAudioDeviceProperties* properties) {
  if (!ValidHandle(device)) return kInvalidHandle;
  if (properties == nullptr) return kInvalidParameter;
  *properties = TUsbAudioDeviceProperties{};
  properties->usbVendorId = 0x2A39;
  properties->usbProductId = 0x3FD0;
  properties->usbRevisionId = 0x0100;
  wchar_t serial[32];
  std::swprintf(serial, 32, L"VZ%06u", static_cast<unsigned>(device - kHandleBase + 1));
  CopyWide(properties->serialNumberString, serial);
  CopyWide(properties->manufacturerString, L"Zelk Acoustics");
  CopyWide(properties->productString, L"VE-ZER");
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetSupportedSampleRates(TUsbAudioHandle device, uint32_t capacity,
                                                              uint32_t* rates, uint32_t* count) {
  static const uint32_t kRates[] = {44100, 48000, 88200, 96000, 176400, 192000};
  if (!ValidHandle(device)) return kInvalidHandle;
  if (count == nullptr) return kInvalidParameter;
  uint32_t n = 0;
  for (uint32_t rate : kRates) {
    if (rates != nullptr && n < capacity) rates[n] = rate;
    ++n;
  }
  *count = n;
  return TSTATUS_SUCCESS;
}

// What every getter of a device setting does: check the handle and the
// out-pointer, then report.
static TUsbAudioStatus ReportSetting(TUsbAudioHandle device, uint32_t* out, uint32_t value) {
  if (!ValidHandle(device)) return kInvalidHandle;
  if (out == nullptr) return kInvalidParameter;
  *out = value;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetCurrentSampleRate(TUsbAudioHandle device, uint32_t* rate) {
  return ReportSetting(device, rate, State().rate);
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_SetSampleRate(TUsbAudioHandle device, uint32_t rate) {
  if (!ValidHandle(device)) return kInvalidHandle;
  if (Fault("stream-active")) return TSTATUS_DEVICE_BUSY;
  State().rate = rate;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetUsbStreamingMode(TUsbAudioHandle device, uint32_t* mode) {
  return ReportSetting(device, mode, 0);
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_SetUsbStreamingMode(TUsbAudioHandle device, uint32_t mode) {
  if (!ValidHandle(device)) return kInvalidHandle;
  return mode == 0 ? TSTATUS_SUCCESS : kNotSupported;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetASIOBufferSize(uint32_t* size) {
  if (size == nullptr) return kInvalidParameter;
  *size = 512;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_SetASIOBufferSize(uint32_t size) {
  return size == 512 ? TSTATUS_SUCCESS : kNotSupported;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_LoadFirmwareImageFromBuffer(const uint8_t* image, uint32_t size,
                                                                  uint32_t flags) {
  (void)flags;
  if (Fault("load-fail")) return kNoImage;
  if (image == nullptr || size == 0) return kInvalidParameter;
  State().image.assign(image, image + size);
  State().imageLoaded = true;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_LoadFirmwareImageFromFile(const wchar_t* path, uint32_t flags) {
  (void)path;
  (void)flags;
  return kNotSupported;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetFirmwareImageSize(uint32_t* size) {
  if (size == nullptr) return kInvalidParameter;
  if (!State().imageLoaded) return kNoImage;
  *size = static_cast<uint32_t>(State().image.size());
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_UnloadFirmwareImage() {
  State().image.clear();
  State().imageLoaded = false;
  return TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetFirmwareImage(uint8_t* buffer, uint32_t size) {
  const Driver& d = State();
  if (!d.imageLoaded) return kNoImage;
  if (buffer == nullptr || size < d.image.size()) return kInvalidParameter;
  std::memcpy(buffer, d.image.data(), d.image.size());
  return TSTATUS_SUCCESS;
}

// The download goes to a device by its index (not its handle).
TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_StartDfuDownload(uint32_t deviceIndex, uint32_t target, uint32_t flags) {
  (void)target;
  (void)flags;
  Driver& d = State();
  if (Fault("start-fail")) return kDfuFailed;
  if (deviceIndex >= d.devices) return kInvalidParameter;
  if (!d.imageLoaded) return kNoImage;
  d.dfuRunning = true;
  d.dfuState = 2;
  d.dfuProgress = 0;
  d.dfuCalls = 0;
  d.dfuResult = TSTATUS_SUCCESS;
  return TSTATUS_SUCCESS;
}

#ifndef REFLASH_SIM_VEZER_WITHOUT_DFU_UPLOAD
TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_StartDfuUpload(uint32_t deviceIndex, uint32_t target, uint32_t flags) {
  (void)deviceIndex;
  (void)target;
  (void)flags;
  return kNotSupported;
}
#endif

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_StartDfuRevertToFactoryImage(uint32_t deviceIndex, uint32_t target,
                                                                   uint32_t flags) {
  (void)deviceIndex;
  (void)target;
  (void)flags;
  return kNotSupported;
}

// State 2 on the first call, then 4 with the bytes sent growing by kChunk
// per call, then 5 with the whole image (stored on the card).
TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_GetDfuStatus(uint32_t* state, uint32_t* progress, uint32_t* total,
                                                   TUsbAudioStatus* completion) {
  Driver& d = State();
  if (state == nullptr || progress == nullptr || total == nullptr || completion == nullptr) return kInvalidParameter;
  const uint32_t size = static_cast<uint32_t>(d.image.size());
  if (d.dfuRunning && d.dfuState != 5 && d.dfuState != 6) {
    ++d.dfuCalls;
    if (d.dfuCalls == 1) {
      d.dfuState = 2;
    } else if (Fault("dfu-stall")) {
      d.dfuState = 4;
    } else {
      d.dfuState = 4;
      d.dfuProgress = d.dfuProgress + kChunk < size ? d.dfuProgress + kChunk : size;
      const bool failing = Fault("dfu-fail") || Fault("dfu-fail-quiet");
      if (failing && d.dfuProgress >= size / 2) {
        d.dfuState = 6;
        d.dfuResult = kDfuFailed;
      } else if (d.dfuProgress >= size && d.dfuCalls > 2) {
        d.dfuState = 5;
        StoreDownload();
      }
    }
  }
  *state = d.dfuState;
  *progress = d.dfuProgress;
  *total = size;
  *completion = d.dfuResult;
  return Fault("status-error") ? kStatusRead : TSTATUS_SUCCESS;
}

TUSB_EXPORT TUsbAudioStatus TUSBAUDIO_EndDfuProc() {
  Driver& d = State();
  d.dfuRunning = false;
  if (d.dfuResult != TSTATUS_SUCCESS && !Fault("dfu-fail-quiet")) return d.dfuResult;
  return TSTATUS_SUCCESS;
}

namespace {

struct StatusText {
  TUsbAudioStatus status;
  const char* text;
  const wchar_t* wide;
};

const StatusText kStatusTexts[] = {
    {TSTATUS_SUCCESS, "TSTATUS_SUCCESS", L"TSTATUS_SUCCESS"},
    {TSTATUS_DEVICE_BUSY, "TSTATUS_DEVICE_BUSY", L"TSTATUS_DEVICE_BUSY"},
    {kInvalidHandle, "TSTATUS_INVALID_HANDLE", L"TSTATUS_INVALID_HANDLE"},
    {kInvalidParameter, "TSTATUS_INVALID_PARAMETER", L"TSTATUS_INVALID_PARAMETER"},
    {kNoImage, "TSTATUS_NO_FIRMWARE_IMAGE", L"TSTATUS_NO_FIRMWARE_IMAGE"},
    {kNotSupported, "TSTATUS_NOT_SUPPORTED", L"TSTATUS_NOT_SUPPORTED"},
    {TSTATUS_NO_CUSTOM_INI, "TSTATUS_NO_CUSTOM_INI", L"TSTATUS_NO_CUSTOM_INI"},
    {kDfuFailed, "TSTATUS_DFU_FAILED", L"TSTATUS_DFU_FAILED"},
    {kStatusRead, "TSTATUS_DFU_STATUS_UNAVAILABLE", L"TSTATUS_DFU_STATUS_UNAVAILABLE"},
};

}  // namespace

TUSB_EXPORT const wchar_t* TUSBAUDIO_StatusCodeStringW(TUsbAudioStatus status) {
  for (const StatusText& s : kStatusTexts) {
    if (s.status == status) return s.wide;
  }
  return L"TSTATUS_UNKNOWN";
}

TUSB_EXPORT const char* TUSBAUDIO_StatusCodeStringA(TUsbAudioStatus status) {
  for (const StatusText& s : kStatusTexts) {
    if (s.status == status) return s.text;
  }
  return "TSTATUS_UNKNOWN";
}
