#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/core/wide_text_win32.h"
#include "platform/net/interfaces.h"

namespace platform::net {
namespace {

int KindOf(const IP_ADAPTER_ADDRESSES& a) {
  switch (a.IfType) {
    case IF_TYPE_SOFTWARE_LOOPBACK:
      return kKindLoopback;
    case IF_TYPE_IEEE80211:
      return kKindWireless;
    case IF_TYPE_IEEE1394:
      return kKindFirewire;
    case IF_TYPE_TUNNEL:
    case IF_TYPE_PPP:
      return kKindVirtual;
    default:
      return kKindOther;
  }
}

}  // namespace

// The system's adapter list (GetAdaptersAddresses); `sysNet` has no
// meaning here.
int ListInterfaces(std::vector<InterfaceInfo>& out, const std::string&, int* error) {
  out.clear();
  ULONG size = 16 * 1024;
  std::vector<uint8_t> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_DNS_SERVER, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result == ERROR_NO_DATA) return 0;
  if (result != NO_ERROR) {
    // The errno names callers test; other codes pass as the system's own.
    if (error) *error = result == ERROR_NOT_ENOUGH_MEMORY ? ENOMEM : static_cast<int>(result);
    return -1;
  }
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
    InterfaceInfo info;
    info.name = a->FriendlyName ? platform::win32::Narrow(a->FriendlyName) : std::string(a->AdapterName);
    info.index = a->IfIndex;
    info.kind = KindOf(*a);
    info.loopback = a->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
    info.up = a->OperStatus == IfOperStatusUp;
    info.multicast = (a->Flags & IP_ADAPTER_NO_MULTICAST) == 0;
    info.hardwareAddressLength = static_cast<int>(std::min<ULONG>(a->PhysicalAddressLength, 8));
    std::memcpy(info.hardwareAddress, a->PhysicalAddress, static_cast<size_t>(info.hardwareAddressLength));
    for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      if (u->Address.lpSockaddr == nullptr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
      info.address = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr;
      const unsigned prefix = std::min<unsigned>(u->OnLinkPrefixLength, 32);
      info.netmask = htonl(prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix));
      break;
    }
    if (info.up && a->TransmitLinkSpeed != 0 && a->TransmitLinkSpeed != ~0ull) {
      info.speedMbps = static_cast<uint32_t>(std::min<ULONG64>(a->TransmitLinkSpeed / 1000000, UINT32_MAX));
    }
    out.push_back(info);
  }
  std::sort(out.begin(), out.end(), [](const InterfaceInfo& a, const InterfaceInfo& b) {
    return a.kind != b.kind ? a.kind < b.kind : a.index < b.index;
  });
  return 0;
}

}  // namespace platform::net
