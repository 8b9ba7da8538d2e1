#pragma once
// The IPv4 socket address the calls of this folder send to and bind.
#include <cstdint>

#ifdef _WIN32
#include "platform/net/winsock_win32.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace platform::net {

// `address` and `port` in host byte order.
inline sockaddr_in SocketAddress(uint32_t address, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(address);
  a.sin_port = htons(port);
  return a;
}

}  // namespace platform::net
