#pragma once
// What holds while an update or a serial-number write runs: a first Ctrl+C
// only warns, and the computer does not go to sleep.
#include <string>

#include "platform/session/abort_signals.h"
#include "platform/session/sleep_inhibitor.h"

namespace platform {

class WriteSession {
 public:
  explicit WriteSession(const std::string& why) : sleep_(why) {}

 private:
  WriteInProgress write_;
  SleepInhibitor sleep_;
};

}  // namespace platform
