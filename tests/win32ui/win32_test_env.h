#pragma once
// Shared pieces of the native window tests (run under Wine with an X
// display of their own): the host in force for one test, a pump with a
// deadline, and a dialog logic that records what the host tells it.
#include <functional>
#include <string>
#include <vector>

#include "platform/core/service.h"
#include "platform/win32ui/win32_dialog.h"
#include "platform/win32ui/win32_host.h"

namespace win32_test {

// A Win32Host in force as the UI host and message pump for one test.
struct HostScope {
  HostScope() : hostGuard(host), pumpGuard(host) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }
  platform::win32ui::Win32Host host;
  platform::Override<platform::ui::Host> hostGuard;
  platform::Override<platform::MessagePump> pumpGuard;
};

// Pumps the host's queue until `done` holds or `ms` of real time pass.
inline bool PumpUntil(platform::win32ui::Win32Host& host, const std::function<bool()>& done, DWORD ms = 5000) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    if (!host.PumpOne()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

// Ends every running dialog after `ms`, so a test that goes wrong fails
// instead of waiting for ever.
class Deadline {
 public:
  explicit Deadline(platform::win32ui::Win32Host& host, UINT ms = 20000) {
    host_ = &host;
    timer_ = SetTimer(nullptr, 0, ms, Fire);
  }
  ~Deadline() {
    KillTimer(nullptr, timer_);
    host_ = nullptr;
  }
  static bool Fired() { return fired_; }

 private:
  static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) {
    if (!host_) return;
    fired_ = true;
    for (auto* dialog : host_->Dialogs())
      if (dialog) dialog->EndDialog(-1);
  }
  static inline platform::win32ui::Win32Host* host_ = nullptr;
  static inline bool fired_ = false;
  UINT_PTR timer_ = 0;
};

// Dialog logic that records every event; commands 1 and 2 end the dialog.
class RecordingEvents : public platform::ui::DialogEvents {
 public:
  bool OnInitDialog() override { return true; }
  void OnCommand(int id) override {
    commands.push_back(id);
    if ((id == 1 || id == 2) && window) window->EndDialog(id);
  }
  void OnClose() override {
    ++closes;
    if (closeIsCancel) DialogEvents::OnClose();
  }
  void OnSelChange(int id) override { selChanges.push_back(id); }
  void OnTextLimit(int id) override { textLimits.push_back(id); }
  void OnTimer(int timerId) override { timers.push_back(timerId); }
  void OnSysCommand(int commandId) override { sysCommands.push_back(commandId); }

  platform::ui::DialogWindow* window = nullptr;
  bool closeIsCancel = true;
  int closes = 0;
  std::vector<int> commands, selChanges, textLimits, timers, sysCommands;
};

// Posts what pressing a key on `control` sends.
inline void PostKey(HWND control, WPARAM key) {
  PostMessageW(control, WM_KEYDOWN, key, 1);
  PostMessageW(control, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

}  // namespace win32_test
