#include "platform/net/interfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/net/socket_error.h"

namespace platform::net {
namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec)) && !ec;
}

long ReadNumber(const fs::path& p, long fallback) {
  std::ifstream in(p);
  long value = fallback;
  if (!(in >> value)) return fallback;
  return value;
}

}  // namespace

int ClassifyInterface(const std::string& sysNet, const std::string& name, bool loopback) {
  if (loopback) return kKindLoopback;
  const fs::path entry = fs::path(sysNet) / name;
  if (Exists(entry / "wireless") || Exists(entry / "phy80211")) return kKindWireless;
  if (ReadNumber(entry / "type", 0) == 24) return kKindFirewire;
  std::error_code ec;
  const fs::path bus = fs::read_symlink(entry / "device" / "subsystem", ec);
  if (!ec && bus.filename() == "bluetooth") return kKindBluetooth;
  if (name.rfind("bnep", 0) == 0) return kKindBluetooth;
  if (!Exists(entry / "device")) return kKindVirtual;
  return kKindOther;
}

int ListInterfaces(std::vector<InterfaceInfo>& out, const std::string& sysNet, int* error) {
  out.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return SocketFailure(error);
  std::map<std::string, InterfaceInfo> byName;
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_name == nullptr) continue;
    auto [it, inserted] = byName.try_emplace(a->ifa_name);
    InterfaceInfo& info = it->second;
    if (inserted) {
      info.name = a->ifa_name;
      info.index = if_nametoindex(a->ifa_name);
      info.up = (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING);
      info.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
      info.multicast = (a->ifa_flags & IFF_MULTICAST) != 0;
    }
    if (a->ifa_addr == nullptr) continue;
    if (a->ifa_addr->sa_family == AF_INET) {
      const uint32_t address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr;
      const uint32_t netmask =
          a->ifa_netmask ? reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr : 0;
      info.addresses.emplace_back(address, netmask);
      if (info.address == 0) {
        info.address = address;
        info.netmask = netmask;
      }
    } else if (a->ifa_addr->sa_family == AF_PACKET) {
      const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
      info.hardwareAddressLength = std::min<int>(ll->sll_halen, 8);
      std::memcpy(info.hardwareAddress, ll->sll_addr, info.hardwareAddressLength);
    }
  }
  freeifaddrs(list);
  for (auto& [name, info] : byName) {
    info.kind = ClassifyInterface(sysNet, name, info.loopback);
    if (info.up) {
      long speed = ReadNumber(fs::path(sysNet) / name / "speed", 0);
      info.speedMbps = speed > 0 ? static_cast<uint32_t>(speed) : 0;
    }
    out.push_back(info);
  }
  std::sort(out.begin(), out.end(), [](const InterfaceInfo& a, const InterfaceInfo& b) {
    return a.kind != b.kind ? a.kind < b.kind : a.index < b.index;
  });
  return 0;
}

}  // namespace platform::net
