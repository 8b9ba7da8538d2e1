#include <windows.h>

#include "platform/core/log.h"
#include "platform/session/sleep_inhibitor.h"

namespace platform {
namespace {

// The execution state belongs to the thread and does not count, so nested
// inhibitors share it and the outermost one clears it.
int g_held = 0;

}  // namespace

SleepInhibitor::SleepInhibitor(const std::string& why) {
  if (g_held == 0 && SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
    LogMessage("No sleep inhibitor (SetThreadExecutionState failed): the system may sleep during the write\n");
    return;
  }
  ++g_held;
  fd_ = 0;  // held
  LogMessage("Sleep inhibitor held: %s\n", why.c_str());
}

SleepInhibitor::~SleepInhibitor() {
  if (fd_ < 0) return;
  if (--g_held == 0) SetThreadExecutionState(ES_CONTINUOUS);
  LogMessage("Sleep inhibitor released\n");
}

}  // namespace platform
