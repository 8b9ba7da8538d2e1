// Windows has no local datagram socket pairs: two UDP sockets on the
// loopback address, each connected to the other, serve instead.
#include <cerrno>

#include "platform/net/datagram_pair.h"
#include "platform/net/udp_socket.h"
#include "platform/net/winsock_win32.h"

namespace platform::net {
namespace {

int Bound(int* error) {
  const int s = UdpOpen(error);
  if (s < 0) return -1;
  if (UdpBind(s, INADDR_LOOPBACK, 0, error) != 0 || UdpSetNonBlocking(s, error) != 0) {
    UdpClose(s);
    return -1;
  }
  return s;
}

bool ConnectTo(int from, int to) {
  sockaddr_in a{};
  int len = sizeof a;
  if (getsockname(static_cast<SOCKET>(to), reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
  return connect(static_cast<SOCKET>(from), reinterpret_cast<sockaddr*>(&a), len) == 0;
}

}  // namespace

int DatagramPair(int ends[2], int* error) {
  const int a = Bound(error);
  if (a < 0) return -1;
  const int b = Bound(error);
  if (b < 0) {
    UdpClose(a);
    return -1;
  }
  if (!ConnectTo(a, b) || !ConnectTo(b, a)) {
    win32::Failure(error);
    UdpClose(a);
    UdpClose(b);
    return -1;
  }
  ends[0] = a;
  ends[1] = b;
  return 0;
}

int DatagramSend(int end, const void* data, size_t length, int* error) {
  const int n = send(static_cast<SOCKET>(end), static_cast<const char*>(data), static_cast<int>(length), 0);
  return n == SOCKET_ERROR ? win32::Failure(error) : n;
}

int DatagramReceive(int end, void* buffer, size_t size, int* error) {
  const int n = recv(static_cast<SOCKET>(end), static_cast<char*>(buffer), static_cast<int>(size), 0);
  if (n != SOCKET_ERROR) return n;
  if (WSAGetLastError() == WSAEMSGSIZE) return static_cast<int>(size);  // cut to the buffer
  return win32::Failure(error);
}

}  // namespace platform::net
