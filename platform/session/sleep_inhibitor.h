#pragma once
// Keeps the computer awake while a unit is written: a sleep, idle and
// lid-switch inhibitor lock in "block" mode taken from the login manager
// over the system bus, released when the object goes. Where no login
// manager answers (a container, a build machine) the write goes on and the
// log says so once per process.
#include <string>

#include "platform/core/non_copyable.h"

namespace platform {

class SleepInhibitor : NonCopyable {
 public:
  // `why` names what is being written, e.g. "Updating the firmware of ...".
  explicit SleepInhibitor(const std::string& why);
  ~SleepInhibitor();

  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;  // the lock lasts as long as this descriptor is open
};

}  // namespace platform
