#include "platform/net/datagram_pair.h"

#include <sys/socket.h>

#include <cerrno>

#include "platform/net/socket_error.h"

namespace platform::net {

int DatagramPair(int ends[2], int* error) {
  return socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) < 0 ? SocketFailure(error) : 0;
}

int DatagramSend(int end, const void* data, size_t length, int* error) {
  ssize_t n = send(end, data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
  return n < 0 ? SocketFailure(error) : static_cast<int>(n);
}

int DatagramReceive(int end, void* buffer, size_t size, int* error) {
  ssize_t n = recv(end, buffer, size, MSG_DONTWAIT);
  return n < 0 ? SocketFailure(error) : static_cast<int>(n);
}

}  // namespace platform::net
