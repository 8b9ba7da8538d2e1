#pragma once
// Whether the computer runs on mains power; the program refuses to update
// firmware on battery.
#include <cstdint>
#include <string>

#include "platform/core/service.h"

namespace platform {

// AC line status values.
constexpr uint8_t kAcOffline = 0;   // on battery
constexpr uint8_t kAcOnline = 1;    // on mains
constexpr uint8_t kAcUnknown = 255; // no power supply known to the system

class PowerSource {
 public:
  virtual ~PowerSource() = default;
  // Reads the AC line status into `acLineStatus` (one of the values above).
  // Called once at start-up. Returns false when the status cannot be read;
  // `error` then holds the system's error code (an errno value here).
  virtual bool GetAcLineStatus(uint8_t& acLineStatus, uint32_t& error) = 0;
};

// The supplies under a sysfs power_supply folder (each a folder holding
// "type", "online", "present", "status" files):
//   - a "Mains" or "USB" (or "USB_*") supply with online 1: on mains (1);
//   - otherwise a battery that is present: on battery (0), except that a
//     battery reporting "Charging", "Full" or "Not charging" proves a
//     charger is connected, so that counts as mains (1);
//   - no supply at all (a container, most desktops): unknown (255).
// A missing root folder counts as no supply; any other failure to read the
// folder or a supply's type/online file is a failure with its errno.
class SysfsPowerSource final : public PowerSource {
 public:
  explicit SysfsPowerSource(std::string root = "/sys/class/power_supply");
  bool GetAcLineStatus(uint8_t& acLineStatus, uint32_t& error) override;

 private:
  std::string root_;
};

}  // namespace platform
