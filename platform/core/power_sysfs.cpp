#include "platform/core/power.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace platform {
namespace {

// Reads the first line of a sysfs attribute. Returns false with errno set
// when the file is missing or unreadable.
bool ReadAttribute(const std::string& path, std::string& value) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  char buffer[128];
  ssize_t n = read(fd, buffer, sizeof buffer);
  int readError = errno;
  close(fd);
  if (n < 0) {
    errno = readError;
    return false;
  }
  value.assign(buffer, static_cast<size_t>(n));
  size_t end = value.find_first_of("\r\n");
  if (end != std::string::npos) {
    value.resize(end);
  }
  while (!value.empty() && value.back() == ' ') {
    value.pop_back();
  }
  return true;
}

bool IsExternalSupply(const std::string& type) {
  return type == "Mains" || type == "USB" || type.rfind("USB_", 0) == 0;
}

bool ChargerEvident(const std::string& batteryStatus) {
  return batteryStatus == "Charging" || batteryStatus == "Full" || batteryStatus == "Not charging";
}

}  // namespace

SysfsPowerSource::SysfsPowerSource(std::string root) : root_(std::move(root)) {}

bool SysfsPowerSource::GetAcLineStatus(uint8_t& acLineStatus, uint32_t& error) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(root_.c_str()), closedir);
  if (!dir) {
    if (errno == ENOENT) {
      acLineStatus = kAcUnknown;
      return true;
    }
    error = static_cast<uint32_t>(errno);
    return false;
  }
  std::vector<std::string> supplies;
  while (dirent* entry = readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") {
      supplies.push_back(root_ + "/" + name);
    }
  }

  bool onMains = false;
  bool onBattery = false;
  for (const std::string& supply : supplies) {
    std::string type;
    if (!ReadAttribute(supply + "/type", type)) {
      error = static_cast<uint32_t>(errno);
      return false;
    }
    if (IsExternalSupply(type)) {
      std::string online;
      if (!ReadAttribute(supply + "/online", online)) {
        error = static_cast<uint32_t>(errno);
        return false;
      }
      onMains = onMains || online == "1";
    } else if (type == "Battery") {
      // Attributes a driver may leave out: no "present" means present.
      std::string present;
      if (ReadAttribute(supply + "/present", present) && present == "0") {
        continue;
      }
      std::string status;
      ReadAttribute(supply + "/status", status);
      if (ChargerEvident(status)) {
        onMains = true;
      } else {
        onBattery = true;
      }
    }
  }
  acLineStatus = onMains ? kAcOnline : onBattery ? kAcOffline : kAcUnknown;
  return true;
}

}  // namespace platform
