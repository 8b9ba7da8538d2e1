#include "app/reflash_app.h"

#include <string>

#include "app/log.h"
#include "platform/core/power.h"
#include "platform/core/system_info.h"
#include "platform/ui/ui_host.h"

namespace ui = platform::ui;

std::string BuildStamp() { return std::string(__DATE__) + " " + __TIME__; }

std::string ProgramVersion() { return "reflash " REFLASH_VERSION " (built " + BuildStamp() + ")"; }

void LogOsVersionRecord() {
  platform::OsVersion version;
  if (platform::Use<platform::SystemInfo>().GetOsVersion(version)) {
    LogMessage("VER_PLATFORM_WIN32_NT %lu.%lu Build %lu %s\n", static_cast<unsigned long>(version.major),
               static_cast<unsigned long>(version.minor), static_cast<unsigned long>(version.build),
               version.servicePack.c_str());
  }
}

bool CReflashApp::InitInstance(const MainWindowFactory& createWindow) {
  m_bWindowRan = false;
  LogMessage("Orvella(n) Update Built: %s\n", BuildStamp().c_str());

  platform::OsVersion version;
  if (!platform::Use<platform::SystemInfo>().GetOsVersion(version)) {
    ui::ShowMessage("GetVersionEx Failed!", std::nullopt, ui::Buttons::Ok, ui::Icon::Warning);
    return false;
  }
  if (version.platformId != platform::kPlatformWin32Nt) {
    LogMessage("Terminating: Unsupported Operating System.\n");
    ui::ShowMessage("Orvella(n) Firmware Update does not support this operating system.", std::nullopt,
                    ui::Buttons::Ok, ui::Icon::Warning);
    return false;
  }

  uint8_t acLineStatus = platform::kAcUnknown;
  uint32_t error = 0;
  if (!platform::Use<platform::PowerSource>().GetAcLineStatus(acLineStatus, error)) {
    LogMessage("GetSystemPowerStatus FAILED! [%08lx]\n", static_cast<unsigned long>(error));
  } else if (acLineStatus == platform::kAcOffline) {
    LogMessage("Terminating: On Battery Power\n");
    ui::ShowMessage("This computer must be connected to AC power to update firmware.", "On Battery Power",
                    ui::Buttons::Ok, ui::Icon::Error);
    return false;
  }

  // The settings root "Zelk" would be registered here; the program keeps no
  // settings of its own, so there is nothing to load.

  std::unique_ptr<MainWindow> window = createWindow ? createWindow() : nullptr;
  if (window) {
    m_bWindowRan = true;
    window->DoModal();  // its result does not matter here
  }

  LogMessage("Exiting\n%s\n", std::string(77, '*').c_str());
  CloseLog();
  window.reset();  // records written while it closes reopen the log
  return false;
}
