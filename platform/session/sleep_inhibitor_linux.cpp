#include "platform/session/sleep_inhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>

#include "platform/core/log.h"

namespace platform {
namespace {

constexpr const char* kWhat = "sleep:idle:handle-lid-switch";
constexpr const char* kWho = "Reflash";
constexpr const char* kMode = "block";
// The login manager answers at once or not at all; a run must not stall.
constexpr uint64_t kCallTimeoutUs = 3 * 1000 * 1000;

bool g_unavailableLogged = false;

void LogUnavailable(const char* reason) {
  if (g_unavailableLogged) return;
  g_unavailableLogged = true;
  LogMessage("No sleep inhibitor (%s): the system may sleep during the write\n", reason);
}

}  // namespace

SleepInhibitor::SleepInhibitor(const std::string& why) {
  sd_bus* bus = nullptr;
  int result = sd_bus_open_system(&bus);
  if (result < 0) {
    LogUnavailable(std::strerror(-result));
    return;
  }
  sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  result = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                              "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss", kWhat, kWho,
                              why.c_str(), kMode);
  if (result < 0) {
    LogUnavailable(error.message ? error.message : std::strerror(-result));
  } else {
    int fd = -1;
    if (sd_bus_message_read(reply, "h", &fd) >= 0 && fd >= 0) {
      // The reply owns its descriptor; ours must outlive it.
      fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    }
    if (fd_ >= 0) {
      LogMessage("Sleep inhibitor held: %s\n", why.c_str());
    } else {
      LogUnavailable("the login manager returned no lock");
    }
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(bus);
}

SleepInhibitor::~SleepInhibitor() {
  if (fd_ < 0) return;
  ::close(fd_);
  LogMessage("Sleep inhibitor released\n");
}

}  // namespace platform
