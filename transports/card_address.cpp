#include "transports/card_address.h"

#include "platform/net/byte_order.h"

using platform::net::InterfaceInfo;

namespace {

bool HeardOnLoopback(unsigned heardOn, const std::vector<InterfaceInfo>& interfaces) {
  for (const InterfaceInfo& i : interfaces) {
    if (i.index == heardOn) return i.loopback;
  }
  return false;  // an interface this computer does not list is no loopback
}

// Directed broadcast of a local network (host order); none for /31 and /32,
// whose every address is a host.
bool IsLocalBroadcast(uint32_t host, const std::vector<InterfaceInfo>& interfaces) {
  for (const InterfaceInfo& i : interfaces) {
    for (const auto& [address, netmask] : i.addresses) {
      const uint32_t mask = platform::net::NetworkToHost32(netmask);
      if (mask == 0 || mask >= 0xFFFFFFFEu) continue;
      if ((platform::net::NetworkToHost32(address) | ~mask) == host) return true;
    }
  }
  return false;
}

bool IsOwnAddress(uint32_t address, const std::vector<InterfaceInfo>& interfaces) {
  for (const InterfaceInfo& i : interfaces) {
    for (const auto& [own, netmask] : i.addresses) {
      if (own == address) return true;
    }
  }
  return false;
}

}  // namespace

const char* CardAddressRefusal(uint32_t address, unsigned heardOn, const std::vector<InterfaceInfo>& interfaces) {
  const uint32_t host = platform::net::NetworkToHost32(address);
  const uint32_t first = host >> 24;
  if (first == 0) return "no host has an address in 0.0.0.0/8";
  if (first >= 224 && first <= 239) return "a multicast address";
  if (host == 0xFFFFFFFFu) return "the limited broadcast address";
  if (IsLocalBroadcast(host, interfaces)) return "the broadcast address of a local network";
  if (HeardOnLoopback(heardOn, interfaces)) return nullptr;
  if (first == 127) return "a loopback address from a record heard on another interface";
  if (IsOwnAddress(address, interfaces)) return "this computer's own address";
  return nullptr;
}

std::string DottedAddress(uint32_t address) {
  const auto* a = reinterpret_cast<const uint8_t*>(&address);
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}
