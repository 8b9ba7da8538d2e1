#include "transports/ztusb.h"

#include <cstdio>
#include <string>

#include "platform/core/clock.h"
#include "platform/core/log.h"
#include "platform/core/outside_text.h"
#include "platform/core/message_pump.h"
#include "platform/core/program_files.h"
#include "platform/ui/ui_host.h"

// The driver's library has carried several names over the years and
// products; the first that loads is used.
std::string CZTUSB::LibraryCandidate(const std::string& folder, int row) {
  char path[1024];
  switch (row) {
    case 0:
      std::snprintf(path, sizeof path, "%s%s%s\\%s", folder.c_str(), "\\Zelk Acoustics", "\\VE-ZER Audio Driver",
                    "tusbaudioapi.dll");
      break;
    case 1:
      std::snprintf(path, sizeof path, "%s%s%s\\%s", folder.c_str(), "\\Zelk Acoustics", "\\VE-ZER Audio Driver",
                    "ztusbaudapi.dll");
      break;
    case 2:
      std::snprintf(path, sizeof path, "%s%s\\%s", folder.c_str(), "\\Tervik\\Signalport 4x4 Driver\\",
                    "tervikaudapi.dll");
      break;
    default:
      std::snprintf(path, sizeof path, "%s%s%s\\%s", folder.c_str(), "\\Zelk Acoustics", "\\Vinto USB Audio Driver",
                    "VintoUSBapi.dll");
      break;
  }
  return path;
}

namespace {

// The driver's strings are fixed-size fields; one without its terminator
// must not run past the field. Only ASCII reaches the log unchanged.
std::string Narrow(const wchar_t* text, size_t capacity) {
  std::string out;
  for (size_t i = 0; i < capacity && text[i] != L'\0'; ++i) {
    const wchar_t c = text[i];
    out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
  return out;
}

template <class F>
bool Bind(platform::LibraryHandle library, const char* name, F& slot) {
  slot = reinterpret_cast<F>(platform::Use<platform::DynamicLibraries>().Symbol(library, name));
  if (slot != nullptr) return true;
  platform::ui::ShowMessage("GetProcAddress failed", std::string(name), platform::ui::Buttons::Ok);
  return false;
}

}  // namespace

CZTUSB::~CZTUSB() { Release(); }

bool CZTUSB::FindLibrary() {
  const std::string folder = platform::Use<platform::ProgramFiles>().Folder();
  platform::DynamicLibraries& libraries = platform::Use<platform::DynamicLibraries>();
  for (int row = 0; row < kLibraryCandidates; ++row) {
    // Logged as this platform names the file, which is what was looked for.
    const std::string path = platform::SharedLibraryName(LibraryCandidate(folder, row));
    m_hLibrary = libraries.Load(path);
    if (m_hLibrary != nullptr) {
      LogMessage("VE-ZER: Opened [%s]\n", EscapeOutsideText(path).c_str());
      return true;
    }
    LogMessage("VE-ZER: Unable to locate [%s]!\n", EscapeOutsideText(path).c_str());
  }
  return false;
}

bool CZTUSB::ResolveEntryPoints() {
  const platform::LibraryHandle lib = m_hLibrary;
  if (!Bind(lib, "TUSBAUDIO_GetApiVersion", m_pGetApiVersion)) return false;
  LogMessage("APIVERSION %08lx\n", static_cast<unsigned long>(m_pGetApiVersion()));
  return Bind(lib, "TUSBAUDIO_CheckApiVersion", m_pCheckApiVersion) &&
         Bind(lib, "TUSBAUDIO_EnumerateDevices", m_pEnumerateDevices) &&
         Bind(lib, "TUSBAUDIO_GetDeviceCount", m_pGetDeviceCount) &&
         Bind(lib, "TUSBAUDIO_GetDriverInfo", m_pGetDriverInfo) &&
         Bind(lib, "TUSBAUDIO_OpenDeviceByIndex", m_pOpenDeviceByIndex) &&
         Bind(lib, "TUSBAUDIO_CloseDevice", m_pCloseDevice) &&
         Bind(lib, "TUSBAUDIO_GetDeviceProperties", m_pGetDeviceProperties) &&
         Bind(lib, "TUSBAUDIO_GetSupportedSampleRates", m_pGetSupportedSampleRates) &&
         Bind(lib, "TUSBAUDIO_GetCurrentSampleRate", m_pGetCurrentSampleRate) &&
         Bind(lib, "TUSBAUDIO_SetSampleRate", m_pSetSampleRate) &&
         Bind(lib, "TUSBAUDIO_GetUsbStreamingMode", m_pGetUsbStreamingMode) &&
         Bind(lib, "TUSBAUDIO_SetUsbStreamingMode", m_pSetUsbStreamingMode) &&
         Bind(lib, "TUSBAUDIO_GetASIOBufferSize", m_pGetASIOBufferSize) &&
         Bind(lib, "TUSBAUDIO_SetASIOBufferSize", m_pSetASIOBufferSize) &&
         Bind(lib, "TUSBAUDIO_LoadFirmwareImageFromBuffer", m_pLoadFirmwareImageFromBuffer) &&
         Bind(lib, "TUSBAUDIO_LoadFirmwareImageFromFile", m_pLoadFirmwareImageFromFile) &&
         Bind(lib, "TUSBAUDIO_GetFirmwareImageSize", m_pGetFirmwareImageSize) &&
         Bind(lib, "TUSBAUDIO_UnloadFirmwareImage", m_pUnloadFirmwareImage) &&
         Bind(lib, "TUSBAUDIO_GetFirmwareImage", m_pGetFirmwareImage) &&
         Bind(lib, "TUSBAUDIO_StartDfuDownload", m_pStartDfuDownload) &&
         Bind(lib, "TUSBAUDIO_StartDfuUpload", m_pStartDfuUpload) &&
         Bind(lib, "TUSBAUDIO_StartDfuRevertToFactoryImage", m_pStartDfuRevertToFactoryImage) &&
         Bind(lib, "TUSBAUDIO_GetDfuStatus", m_pGetDfuStatus) &&
         Bind(lib, "TUSBAUDIO_EndDfuProc", m_pEndDfuProc) &&
         Bind(lib, "TUSBAUDIO_StatusCodeStringW", m_pStatusCodeStringW) &&
         Bind(lib, "TUSBAUDIO_StatusCodeStringA", m_pStatusCodeStringA);
}

bool CZTUSB::Open(uint32_t index) {
  Release();  // a second Open starts from nothing rather than leaking the first library
  if (!FindLibrary()) return false;
  if (!ResolveEntryPoints()) return false;

  if (m_pEnumerateDevices() == TSTATUS_NO_CUSTOM_INI) {
    LogMessage("CZTUSB::Open Failure! Unable to locate CUSTOM.INI file!\n");
    platform::ui::ShowMessage("Unable to locate \"custom.ini\" file!", std::string("VE-ZER"),
                              platform::ui::Buttons::Ok);
  }

  TUsbAudioDriverInfo info{};
  if (m_pGetDriverInfo(&info) == TSTATUS_SUCCESS) {
    LogMessage("Driver %d.%d.%d\n", static_cast<int>(info.driverVersionMajor), static_cast<int>(info.driverVersionMinor),
               static_cast<int>(info.driverVersionSub));
  }

  if (!(m_pGetDeviceCount() > index)) {
    LogMessage("CZTUSB::Open Failure! No Devices Found!\n");
    return false;
  }

  TUsbAudioHandle device = 0;
  if (m_pOpenDeviceByIndex(index, &device) != TSTATUS_SUCCESS) return false;
  m_hDevice = device;
  m_dwUsbDeviceIndex = index;

  TUsbAudioDeviceProperties properties{};
  if (m_pGetDeviceProperties(m_hDevice, &properties) != TSTATUS_SUCCESS) return false;
  LogMessage("Found VE-ZER [%s] [%s] [%s]\n",
             EscapeOutsideText(Narrow(properties.manufacturerString, kTUsbAudioStringChars)).c_str(),
             EscapeOutsideText(Narrow(properties.productString, kTUsbAudioStringChars)).c_str(),
             EscapeOutsideText(Narrow(properties.serialNumberString, kTUsbAudioStringChars)).c_str());
  return true;
}

bool CZTUSB::Release() {
  if (m_hDevice != 0 && m_pCloseDevice != nullptr) m_pCloseDevice(m_hDevice);
  m_hDevice = 0;
  if (m_hLibrary != nullptr) {
    platform::Use<platform::DynamicLibraries>().Unload(m_hLibrary);
    m_hLibrary = nullptr;
  }
  m_pGetApiVersion = nullptr;
  m_pCheckApiVersion = nullptr;
  m_pEnumerateDevices = nullptr;
  m_pGetDeviceCount = nullptr;
  m_pGetDriverInfo = nullptr;
  m_pOpenDeviceByIndex = nullptr;
  m_pCloseDevice = nullptr;
  m_pGetDeviceProperties = nullptr;
  m_pGetSupportedSampleRates = nullptr;
  m_pGetCurrentSampleRate = nullptr;
  m_pSetSampleRate = nullptr;
  m_pGetUsbStreamingMode = nullptr;
  m_pSetUsbStreamingMode = nullptr;
  m_pGetASIOBufferSize = nullptr;
  m_pSetASIOBufferSize = nullptr;
  m_pLoadFirmwareImageFromBuffer = nullptr;
  m_pLoadFirmwareImageFromFile = nullptr;
  m_pGetFirmwareImageSize = nullptr;
  m_pUnloadFirmwareImage = nullptr;
  m_pGetFirmwareImage = nullptr;
  m_pStartDfuDownload = nullptr;
  m_pStartDfuUpload = nullptr;
  m_pStartDfuRevertToFactoryImage = nullptr;
  m_pGetDfuStatus = nullptr;
  m_pEndDfuProc = nullptr;
  m_pStatusCodeStringW = nullptr;
  m_pStatusCodeStringA = nullptr;
  return true;
}

void CZTUSB::LogStatus(TUsbAudioStatus status) {
  if (status == TSTATUS_SUCCESS) return;
  const char* text = m_pStatusCodeStringA ? m_pStatusCodeStringA(status) : nullptr;
  LogMessage("%s\t\t= 0x%08lX", text ? text : "", static_cast<unsigned long>(status));
}

bool CZTUSB::ProgramUsbFirmware(const uint8_t* image, uint32_t size, CZTUSBProgress* progress) {
  LogMessage("ProgramEEPROM VE-ZER %lu\n", static_cast<unsigned long>(size));
  if (m_pLoadFirmwareImageFromBuffer == nullptr || image == nullptr) return false;  // not open

  TUsbAudioStatus status = m_pLoadFirmwareImageFromBuffer(image, size, 0);
  if (status != TSTATUS_SUCCESS) {
    LogStatus(status);
    return false;
  }
  status = m_pStartDfuDownload(m_dwUsbDeviceIndex, 0, 0);
  if (status != TSTATUS_SUCCESS) {
    LogStatus(status);
    return false;
  }
  if (progress) progress->SetRange(0, static_cast<int>(size));

  const bool finished = RunDfuLoop(progress);

  status = m_pEndDfuProc();
  if (status != TSTATUS_SUCCESS) {
    LogStatus(status);
    return false;
  }
  // A download the driver reported as failed stays failed even when
  // closing the procedure went well.
  if (!finished) return false;
  LogMessage("ProgramEEPROM VE-ZER Success!\n");
  return true;
}

// True when the driver reported the download finished (state 5); false for
// state 6 or a download that stopped moving.
bool CZTUSB::RunDfuLoop(CZTUSBProgress* progress) {
  uint32_t lastState = 0xFFFFFFFF;
  uint32_t lastProgress = 0xFFFFFFFF;
  uint32_t lastChange = platform::TickCount();
  for (;;) {
    uint32_t state = 0, done = 0, total = 0;
    TUsbAudioStatus completion = TSTATUS_SUCCESS;
    const TUsbAudioStatus status = m_pGetDfuStatus(&state, &done, &total, &completion);
    if (progress) progress->SetPos(static_cast<int>(done));
    platform::PumpOrIdle();
    if (status != TSTATUS_SUCCESS) LogStatus(status);

    if (state == TDFU_STATE_FINISHED) return true;
    if (state == TDFU_STATE_FAILED) {
      LogStatus(completion);
      return false;
    }
    if (state != lastState || done != lastProgress) {
      lastState = state;
      lastProgress = done;
      lastChange = platform::TickCount();
    } else if (platform::TickCount() - lastChange > kDfuStallMs) {
      LogMessage("CZTUSB::ProgramUsbFirmware: DFU stalled in state %lu at %lu bytes!\n",
                 static_cast<unsigned long>(state), static_cast<unsigned long>(done));
      return false;
    }
  }
}

// Without an open device there is nothing to ask; the driver itself would
// report a bad handle, so do the same with a non-zero status.
constexpr TUsbAudioStatus kNoDevice = 0xFFFFFFFF;

CardStatus CZTUSB::SetSampleRate(uint32_t hz) {
  if (!m_pSetSampleRate) return kNoDevice;
  return m_pSetSampleRate(m_hDevice, hz);
}

CardStatus CZTUSB::GetCurrentSampleRate(uint32_t* hz) {
  if (!m_pGetCurrentSampleRate) return kNoDevice;
  return m_pGetCurrentSampleRate(m_hDevice, hz);
}
