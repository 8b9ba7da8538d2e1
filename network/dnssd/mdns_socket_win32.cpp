// The multicast DNS socket over Winsock: the same socket as on Linux, with
// the interfaces from the adapter list and the arrival interface from
// WSARecvMsg. Errors come back as errno values (EAGAIN for nothing queued)
// so the operations read them as on Linux.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <mswsock.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "network/dnssd/mdns_socket.h"
#include "network/dnssd/winsock_start_win32.h"
#include "platform/net/byte_order.h"
#include "platform/net/winsock_win32.h"

namespace mdns {
namespace {

using platform::net::HostToNetwork16;
using platform::net::win32::ErrnoOf;

SOCKET S(int fd) { return static_cast<SOCKET>(fd); }

LPFN_WSARECVMSG RecvMsgOf(SOCKET s) {
  static LPFN_WSARECVMSG function = nullptr;
  if (function == nullptr) {
    GUID id = WSAID_WSARECVMSG;
    DWORD bytes = 0;
    WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function, sizeof function, &bytes, nullptr,
             nullptr);
  }
  return function;
}

std::string Narrow(const wchar_t* text) {
  if (text == nullptr || *text == 0) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<size_t>(n - 1) : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

// IPv4 adapters that are up and carry multicast, with their first address.
std::vector<JoinedInterface> SuitableInterfaces() {
  std::vector<JoinedInterface> found;
  ULONG size = 16 * 1024;
  std::vector<uint8_t> buffer;
  ULONG result = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    result = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                  nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) return found;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr; a = a->Next) {
    if (a->OperStatus != IfOperStatusUp || (a->Flags & IP_ADAPTER_NO_MULTICAST) != 0) continue;
    for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      if (u->Address.lpSockaddr == nullptr || u->Address.lpSockaddr->sa_family != AF_INET) continue;
      JoinedInterface j;
      j.index = a->IfIndex;
      j.address = reinterpret_cast<sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr;
      const unsigned prefix = std::min<unsigned>(u->OnLinkPrefixLength, 32);
      j.netmask = platform::net::HostToNetwork32(prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix));
      j.name = Narrow(a->FriendlyName);
      if (j.name.empty()) j.name = a->AdapterName;
      found.push_back(j);
      break;  // first IPv4 address only
    }
  }
  return found;
}

// The group is joined and sent to on an interface named by its address.
in_addr AddressOf(uint32_t address) {
  in_addr a{};
  a.s_addr = address;
  return a;
}

}  // namespace

bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

Endpoint DefaultEndpoint() {
  Endpoint e;
  e.group = platform::net::HostToNetwork32(0xE00000FB);  // 224.0.0.251
  return e;
}

int MdnsSocket::Open(const Endpoint& endpoint, unsigned onlyIndex, bool oneShot) {
  Close();
  endpoint_ = endpoint;
  if (!WinsockStarted()) return WSANOTINITIALISED;
  SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return ErrnoOf(WSAGetLastError());
  fd_ = static_cast<int>(s);
  BOOL on = TRUE;
  DWORD ttl = 255;  // RFC 6762: receivers drop anything else
  DWORD loop = 1;   // local responders and our own other operations hear us
  u_long nonBlocking = 1;
  BOOL report = FALSE;
  DWORD ignored = 0;
  // Every listener of the port hears the group; Windows has no SO_REUSEPORT.
  if (!oneShot) setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
  setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&on), sizeof on);
  setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl);
  setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, reinterpret_cast<const char*>(&loop), sizeof loop);
  ioctlsocket(s, FIONBIO, &nonBlocking);
  // A question refused by a host (ICMP port unreachable) must not fail the
  // next receive.
  WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &ignored, nullptr, nullptr);
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_port = oneShot ? 0 : HostToNetwork16(endpoint.port);
  bound.sin_addr.s_addr = INADDR_ANY;
  if (bind(s, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) {
    const int error = ErrnoOf(WSAGetLastError());
    Close();
    return error;
  }
  for (const JoinedInterface& j : SuitableInterfaces()) {
    if (onlyIndex != 0 && j.index != onlyIndex) continue;
    if (!endpoint.onlyInterfaces.empty() &&
        std::find(endpoint.onlyInterfaces.begin(), endpoint.onlyInterfaces.end(), j.name) ==
            endpoint.onlyInterfaces.end()) {
      continue;
    }
    ip_mreq join{};
    join.imr_multiaddr.s_addr = endpoint.group;
    join.imr_interface = AddressOf(j.address);
    if (oneShot ||
        setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&join), sizeof join) == 0) {
      joined_.push_back(j);
    }
  }
  if (joined_.empty()) {
    Close();
    return ENODEV;
  }
  return 0;
}

void MdnsSocket::Close() {
  if (fd_ >= 0) closesocket(S(fd_));
  fd_ = -1;
  joined_.clear();
}

bool MdnsSocket::SendOn(unsigned index, const std::vector<uint8_t>& data) {
  if (fd_ < 0) return false;
  auto j = std::find_if(joined_.begin(), joined_.end(), [&](const JoinedInterface& i) { return i.index == index; });
  if (j == joined_.end()) return false;
  in_addr out = AddressOf(j->address);
  if (setsockopt(S(fd_), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&out), sizeof out) != 0) {
    return false;
  }
  return SendTo(endpoint_.group, endpoint_.port, data);
}

bool MdnsSocket::SendTo(uint32_t address, uint16_t port, const std::vector<uint8_t>& data) {
  if (fd_ < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = HostToNetwork16(port);
  to.sin_addr.s_addr = address;
  const int n = sendto(S(fd_), reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), 0,
                       reinterpret_cast<sockaddr*>(&to), sizeof to);
  return n == static_cast<int>(data.size());
}

long MdnsSocket::Receive(uint8_t* buffer, size_t size, unsigned* index, uint32_t* from, uint16_t* fromPort,
                         bool* toGroup) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  LPFN_WSARECVMSG recvMsg = RecvMsgOf(S(fd_));
  if (recvMsg == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  sockaddr_in source{};
  char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
  WSABUF io{static_cast<ULONG>(size), reinterpret_cast<char*>(buffer)};
  WSAMSG m{};
  m.name = reinterpret_cast<sockaddr*>(&source);
  m.namelen = sizeof source;
  m.lpBuffers = &io;
  m.dwBufferCount = 1;
  m.Control.buf = control;
  m.Control.len = sizeof control;
  DWORD n = 0;
  if (recvMsg(S(fd_), &m, &n, nullptr, nullptr) != 0) {
    const int code = WSAGetLastError();
    // A datagram cut by the buffer is not one to read.
    if (code == WSAEMSGSIZE) return 0;
    errno = ErrnoOf(code);
    return -1;
  }
  *index = 0;
  if (toGroup) *toGroup = false;
  for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&m); c; c = WSA_CMSG_NXTHDR(&m, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      IN_PKTINFO info;
      std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
      *index = static_cast<unsigned>(info.ipi_ifindex);
      if (toGroup) *toGroup = (platform::net::NetworkToHost32(info.ipi_addr.s_addr) >> 28) == 0xE;
    }
  }
  *from = source.sin_addr.s_addr;
  if (fromPort) *fromPort = HostToNetwork16(source.sin_port);
  if ((m.dwFlags & MSG_TRUNC) != 0) return 0;
  return static_cast<long>(n);
}

}  // namespace mdns
