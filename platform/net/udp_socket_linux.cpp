#include "platform/net/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/net/socket_address.h"
#include "platform/net/socket_error.h"

namespace platform::net {

int UdpOpen(int* error) {
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  return s < 0 ? SocketFailure(error) : s;
}

int UdpBind(int socket, uint32_t address, uint16_t port, int* error) {
  sockaddr_in a = SocketAddress(address, port);
  return bind(socket, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 ? SocketFailure(error) : 0;
}

int UdpSetNonBlocking(int socket, int* error) {
  int flags = fcntl(socket, F_GETFL);
  if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) return SocketFailure(error);
  return 0;
}

int UdpSendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port, int* error) {
  sockaddr_in a = SocketAddress(address, port);
  ssize_t n = sendto(socket, data, length, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return n < 0 ? SocketFailure(error) : static_cast<int>(n);
}

int UdpReceive(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, int* error) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ssize_t n = recvfrom(socket, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), &len);
  if (n < 0) return SocketFailure(error);
  if (from) *from = ntohl(a.sin_addr.s_addr);
  if (fromPort) *fromPort = ntohs(a.sin_port);
  return static_cast<int>(n);
}

int UdpPeek(int socket, int* error) {
  char byte;
  ssize_t n = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n < 0 ? SocketFailure(error) : 1;
}

void UdpClose(int socket) {
  if (socket >= 0) close(socket);
}

}  // namespace platform::net
