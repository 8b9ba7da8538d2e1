#include "platform/net/udp_addressed.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "platform/net/socket_address.h"
#include "platform/net/socket_error.h"

namespace platform::net {
namespace {

// One datagram's message: its peer, its one buffer and room for one
// packet-information record.
msghdr Message(sockaddr_in* peer, iovec* io, char* control, size_t controlSize) {
  msghdr m{};
  m.msg_name = peer;
  m.msg_namelen = sizeof *peer;
  m.msg_iov = io;
  m.msg_iovlen = 1;
  m.msg_control = control;
  m.msg_controllen = controlSize;
  return m;
}

}  // namespace

int UdpReportDestination(int socket, int* error) {
  int on = 1;
  return setsockopt(socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) < 0 ? SocketFailure(error) : 0;
}

int UdpReceiveAddressed(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, uint32_t* to,
                        int* error) {
  sockaddr_in source{};
  iovec io{buffer, size};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  msghdr m = Message(&source, &io, control, sizeof control);
  ssize_t n = recvmsg(socket, &m, MSG_DONTWAIT);
  if (n < 0) return SocketFailure(error);
  if (to) *to = 0;
  for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
    if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
    in_pktinfo info;
    std::memcpy(&info, CMSG_DATA(c), sizeof info);
    if (to) *to = ntohl(info.ipi_addr.s_addr);
  }
  if (from) *from = ntohl(source.sin_addr.s_addr);
  if (fromPort) *fromPort = ntohs(source.sin_port);
  return static_cast<int>(n);
}

int UdpSendFrom(int socket, const void* data, size_t length, uint32_t source, uint32_t address, uint16_t port,
                int* error) {
  sockaddr_in to = SocketAddress(address, port);
  iovec io{const_cast<void*>(data), length};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  msghdr m = Message(&to, &io, control, sizeof control);
  cmsghdr* c = CMSG_FIRSTHDR(&m);
  c->cmsg_level = IPPROTO_IP;
  c->cmsg_type = IP_PKTINFO;
  c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  in_pktinfo info{};
  info.ipi_spec_dst.s_addr = htonl(source);
  std::memcpy(CMSG_DATA(c), &info, sizeof info);
  ssize_t n = sendmsg(socket, &m, MSG_DONTWAIT | MSG_NOSIGNAL);
  return n < 0 ? SocketFailure(error) : static_cast<int>(n);
}

}  // namespace platform::net
