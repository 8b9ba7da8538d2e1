#pragma once
// The calling convention of the VE-ZER card driver's programming library
// (the TUSBAUDIO_* entry points) as this program uses it: argument orders,
// status values and the two records whose fields are read. Shared by the
// binding (CZTUSB) and the simulated driver library in sim/vezer.
//
// Record layouts: only the byte offsets of the fields read are fixed (the
// driver information's 32-bit version fields at 8, 12 and 16; the device
// properties' wide strings at 12, 268 and 524). Our wchar_t is 4 bytes, so
// each string field holds 64 characters in the 256 bytes between those
// offsets; the offsets themselves stay as the driver defines them.
#include <cstddef>
#include <cstdint>

#include "protocol/card_updater.h"

using TUsbAudioStatus = CardStatus;
using TUsbAudioHandle = uint32_t;

constexpr TUsbAudioStatus TSTATUS_SUCCESS = kCardStatusSuccess;
constexpr TUsbAudioStatus TSTATUS_DEVICE_BUSY = kCardStatusDeviceBusy;  // a stream is active (setting the rate)
constexpr TUsbAudioStatus TSTATUS_NO_CUSTOM_INI = 0xE0001006;  // the driver's "custom.ini" is missing

struct TUsbAudioDriverInfo {
  uint32_t apiVersionMajor;    // 0
  uint32_t apiVersionMinor;    // 4
  uint32_t driverVersionMajor; // 8
  uint32_t driverVersionMinor; // 12
  uint32_t driverVersionSub;   // 16
  uint32_t flags;              // 20
  uint32_t reserved[10];
};
static_assert(offsetof(TUsbAudioDriverInfo, driverVersionMajor) == 8);
static_assert(offsetof(TUsbAudioDriverInfo, driverVersionMinor) == 12);
static_assert(offsetof(TUsbAudioDriverInfo, driverVersionSub) == 16);

constexpr size_t kTUsbAudioStringChars = 256 / sizeof(wchar_t);

struct TUsbAudioDeviceProperties {
  uint32_t usbVendorId;                             // 0
  uint32_t usbProductId;                            // 4
  uint32_t usbRevisionId;                           // 8
  wchar_t serialNumberString[kTUsbAudioStringChars];  // 12
  wchar_t manufacturerString[kTUsbAudioStringChars];  // 268
  wchar_t productString[kTUsbAudioStringChars];       // 524
  uint32_t flags;
  uint32_t reserved[15];
};
static_assert(offsetof(TUsbAudioDeviceProperties, serialNumberString) == 12);
static_assert(offsetof(TUsbAudioDeviceProperties, manufacturerString) == 268);
static_assert(offsetof(TUsbAudioDeviceProperties, productString) == 524);

// DFU states reported by TUSBAUDIO_GetDfuStatus (others mean "running").
constexpr uint32_t TDFU_STATE_FINISHED = 5;
constexpr uint32_t TDFU_STATE_FAILED = 6;

extern "C" {
using TUSBAUDIO_GetApiVersion_t = uint32_t (*)();
using TUSBAUDIO_CheckApiVersion_t = uint32_t (*)(uint32_t major, uint32_t minor);
using TUSBAUDIO_EnumerateDevices_t = TUsbAudioStatus (*)();
using TUSBAUDIO_GetDeviceCount_t = uint32_t (*)();
using TUSBAUDIO_GetDriverInfo_t = TUsbAudioStatus (*)(TUsbAudioDriverInfo* info);
using TUSBAUDIO_OpenDeviceByIndex_t = TUsbAudioStatus (*)(uint32_t index, TUsbAudioHandle* device);
using TUSBAUDIO_CloseDevice_t = TUsbAudioStatus (*)(TUsbAudioHandle device);
using TUSBAUDIO_GetDeviceProperties_t = TUsbAudioStatus (*)(TUsbAudioHandle device,
                                                            TUsbAudioDeviceProperties* properties);
using TUSBAUDIO_GetSupportedSampleRates_t = TUsbAudioStatus (*)(TUsbAudioHandle device, uint32_t capacity,
                                                                uint32_t* rates, uint32_t* count);
using TUSBAUDIO_GetCurrentSampleRate_t = TUsbAudioStatus (*)(TUsbAudioHandle device, uint32_t* rate);
using TUSBAUDIO_SetSampleRate_t = TUsbAudioStatus (*)(TUsbAudioHandle device, uint32_t rate);
using TUSBAUDIO_GetUsbStreamingMode_t = TUsbAudioStatus (*)(TUsbAudioHandle device, uint32_t* mode);
using TUSBAUDIO_SetUsbStreamingMode_t = TUsbAudioStatus (*)(TUsbAudioHandle device, uint32_t mode);
using TUSBAUDIO_GetASIOBufferSize_t = TUsbAudioStatus (*)(uint32_t* size);
using TUSBAUDIO_SetASIOBufferSize_t = TUsbAudioStatus (*)(uint32_t size);
using TUSBAUDIO_LoadFirmwareImageFromBuffer_t = TUsbAudioStatus (*)(const uint8_t* image, uint32_t size,
                                                                    uint32_t flags);
using TUSBAUDIO_LoadFirmwareImageFromFile_t = TUsbAudioStatus (*)(const wchar_t* path, uint32_t flags);
using TUSBAUDIO_GetFirmwareImageSize_t = TUsbAudioStatus (*)(uint32_t* size);
using TUSBAUDIO_UnloadFirmwareImage_t = TUsbAudioStatus (*)();
using TUSBAUDIO_GetFirmwareImage_t = TUsbAudioStatus (*)(uint8_t* buffer, uint32_t size);
using TUSBAUDIO_StartDfuDownload_t = TUsbAudioStatus (*)(uint32_t deviceIndex, uint32_t target, uint32_t flags);
using TUSBAUDIO_StartDfuUpload_t = TUsbAudioStatus (*)(uint32_t deviceIndex, uint32_t target, uint32_t flags);
using TUSBAUDIO_StartDfuRevertToFactoryImage_t = TUsbAudioStatus (*)(uint32_t deviceIndex, uint32_t target,
                                                                     uint32_t flags);
using TUSBAUDIO_GetDfuStatus_t = TUsbAudioStatus (*)(uint32_t* state, uint32_t* progress, uint32_t* total,
                                                     TUsbAudioStatus* completion);
using TUSBAUDIO_EndDfuProc_t = TUsbAudioStatus (*)();
using TUSBAUDIO_StatusCodeStringW_t = const wchar_t* (*)(TUsbAudioStatus status);
using TUSBAUDIO_StatusCodeStringA_t = const char* (*)(TUsbAudioStatus status);
}
