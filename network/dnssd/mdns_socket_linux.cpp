#include "network/dnssd/mdns_socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mdns {

Endpoint DefaultEndpoint() {
  Endpoint e;
  e.group = htonl(0xE00000FB);  // 224.0.0.251
  return e;
}

int MdnsSocket::Open(const Endpoint& endpoint, unsigned onlyIndex, bool oneShot) {
  Close();
  endpoint_ = endpoint;
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return errno;
  int on = 1;
  unsigned char ttl = 255;  // RFC 6762: receivers drop anything else
  unsigned char loop = 1;   // local responders and our own other operations hear us
  if (!oneShot) {
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
  }
  setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
  setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  int all = 0;  // only the groups this socket joined, on the interfaces it joined them
  setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_ALL, &all, sizeof all);
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_port = oneShot ? 0 : htons(endpoint.port);
  bound.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&bound), sizeof bound) < 0) {
    int error = errno;
    Close();
    return error;
  }

  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    int error = errno;
    Close();
    return error;
  }
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
    if (!(a->ifa_flags & IFF_UP) || !(a->ifa_flags & IFF_MULTICAST)) continue;
    unsigned index = if_nametoindex(a->ifa_name);
    if (index == 0 || (onlyIndex != 0 && index != onlyIndex)) continue;
    if (!endpoint.onlyInterfaces.empty() &&
        std::find(endpoint.onlyInterfaces.begin(), endpoint.onlyInterfaces.end(), a->ifa_name) ==
            endpoint.onlyInterfaces.end()) {
      continue;
    }
    if (std::any_of(joined_.begin(), joined_.end(), [&](const JoinedInterface& j) { return j.index == index; })) {
      continue;  // first IPv4 address only
    }
    ip_mreqn join{};
    join.imr_multiaddr.s_addr = endpoint.group;
    join.imr_ifindex = static_cast<int>(index);
    if (oneShot || setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) == 0) {
      const uint32_t mask =
          a->ifa_netmask ? reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr : 0xFFFFFFFFu;
      joined_.push_back({index, reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr, mask, a->ifa_name});
    }
  }
  freeifaddrs(list);
  if (joined_.empty()) {
    Close();
    return ENODEV;
  }
  return 0;
}

void MdnsSocket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  joined_.clear();
}

bool MdnsSocket::SendOn(unsigned index, const std::vector<uint8_t>& data) {
  if (fd_ < 0) return false;
  ip_mreqn out{};
  out.imr_ifindex = static_cast<int>(index);
  if (setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out) != 0) return false;
  return SendTo(endpoint_.group, endpoint_.port, data);
}

bool MdnsSocket::SendTo(uint32_t address, uint16_t port, const std::vector<uint8_t>& data) {
  if (fd_ < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  ssize_t n = sendto(fd_, data.data(), data.size(), MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to),
                     sizeof to);
  return n == static_cast<ssize_t>(data.size());
}

long MdnsSocket::Receive(uint8_t* buffer, size_t size, unsigned* index, uint32_t* from, uint16_t* fromPort,
                         bool* toGroup) {
  if (fd_ < 0) {
    errno = EBADF;
    return -1;
  }
  sockaddr_in source{};
  iovec io{buffer, size};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  msghdr m{};
  m.msg_name = &source;
  m.msg_namelen = sizeof source;
  m.msg_iov = &io;
  m.msg_iovlen = 1;
  m.msg_control = control;
  m.msg_controllen = sizeof control;
  ssize_t n = recvmsg(fd_, &m, MSG_DONTWAIT);
  if (n < 0) return -1;
  *index = 0;
  if (toGroup) *toGroup = false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo info;
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      *index = static_cast<unsigned>(info.ipi_ifindex);
      if (toGroup) *toGroup = IN_MULTICAST(ntohl(info.ipi_addr.s_addr));
    }
  }
  *from = source.sin_addr.s_addr;
  if (fromPort) *fromPort = ntohs(source.sin_port);
  // A datagram cut by the buffer is not one to read.
  if (m.msg_flags & MSG_TRUNC) return 0;
  return static_cast<long>(n);
}

}  // namespace mdns
