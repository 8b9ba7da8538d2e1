#pragma once
// The machine's network interfaces: getifaddrs for names, flags and IPv4
// addresses, the kernel's /sys/class/net for kind and link speed.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform::net {

// Kinds, as the discovery library numbers them.
enum InterfaceKind : int {
  kKindOther = 1,
  kKindLoopback = 2,
  kKindWireless = 3,
  kKindVirtual = 4,
  kKindFirewire = 5,
  kKindBluetooth = 6,
};

struct InterfaceInfo {
  std::string name;
  unsigned index = 0;
  int kind = kKindOther;
  uint8_t hardwareAddress[8] = {};
  int hardwareAddressLength = 0;
  uint32_t address = 0;  // first IPv4 address, network byte order (0 = none)
  uint32_t netmask = 0;  // its netmask, network byte order
  // Every IPv4 address of the interface with its netmask (network byte order).
  std::vector<std::pair<uint32_t, uint32_t>> addresses;
  bool up = false;        // administratively up and the link running
  bool loopback = false;
  bool multicast = false;
  uint32_t speedMbps = 0;  // link speed of an up interface, 0 when unknown
};

// Every interface, sorted by kind, then by index. `sysNet` is the folder
// with one entry per interface (tests pass a fake one). Returns 0, or -1
// with the OS error in `*error`.
int ListInterfaces(std::vector<InterfaceInfo>& out, const std::string& sysNet = "/sys/class/net",
                   int* error = nullptr);

// The kind of interface `name` from its entry below `sysNet`: loopback,
// then a wireless or phy80211 entry, the link type 24 (IEEE 1394), a device
// on the bluetooth bus, no device at all (virtual), else other.
int ClassifyInterface(const std::string& sysNet, const std::string& name, bool loopback);

}  // namespace platform::net
