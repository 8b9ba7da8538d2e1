#include <cerrno>

#include "platform/net/socket_address.h"
#include "platform/net/udp_socket.h"
#include "platform/net/winsock_win32.h"

namespace platform::net {
namespace win32 {

bool Started() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace win32

namespace {

SOCKET S(int socket) { return static_cast<SOCKET>(socket); }

}  // namespace

int UdpOpen(int* error) {
  if (!win32::Started()) return win32::Failure(error);
  SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return win32::Failure(error);
  // A datagram refused by its peer (ICMP port unreachable) would otherwise
  // fail the next receive; on Linux an unconnected socket never hears of it.
  BOOL report = FALSE;
  DWORD ignored = 0;
  WSAIoctl(s, _WSAIOW(IOC_VENDOR, 12) /* SIO_UDP_CONNRESET */, &report, sizeof report, nullptr, 0, &ignored,
           nullptr, nullptr);
  // Sends and receives never wait, as MSG_DONTWAIT makes them on Linux;
  // Winsock has no such flag, so the socket itself never blocks.
  u_long on = 1;
  if (ioctlsocket(s, FIONBIO, &on) != 0) {
    const int code = WSAGetLastError();
    closesocket(s);
    WSASetLastError(code);
    return win32::Failure(error);
  }
  // Socket handles are small numbers in practice; the callers keep ints.
  return static_cast<int>(s);
}

int UdpBind(int socket, uint32_t address, uint16_t port, int* error) {
  sockaddr_in a = SocketAddress(address, port);
  return bind(S(socket), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ? win32::Failure(error) : 0;
}

int UdpSetNonBlocking(int socket, int* error) {
  u_long on = 1;
  return ioctlsocket(S(socket), FIONBIO, &on) != 0 ? win32::Failure(error) : 0;
}

int UdpSendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port, int* error) {
  sockaddr_in a = SocketAddress(address, port);
  int n = sendto(S(socket), static_cast<const char*>(data), static_cast<int>(length), 0,
                 reinterpret_cast<sockaddr*>(&a), sizeof a);
  return n == SOCKET_ERROR ? win32::Failure(error) : n;
}

int UdpReceive(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, int* error) {
  sockaddr_in a{};
  int len = sizeof a;
  int n = recvfrom(S(socket), static_cast<char*>(buffer), static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&a),
                   &len);
  if (n == SOCKET_ERROR) {
    // Too long for the buffer: the datagram is cut to it, as on Linux.
    if (WSAGetLastError() != WSAEMSGSIZE) return win32::Failure(error);
    n = static_cast<int>(size);
  }
  if (from) *from = ntohl(a.sin_addr.s_addr);
  if (fromPort) *fromPort = ntohs(a.sin_port);
  return n;
}

int UdpPeek(int socket, int* error) {
  WSAPOLLFD p{S(socket), POLLRDNORM, 0};
  const int n = WSAPoll(&p, 1, 0);
  if (n < 0) return win32::Failure(error);
  if (n == 0) {
    if (error) *error = EAGAIN;
    return -1;
  }
  return 1;
}

void UdpClose(int socket) {
  if (socket >= 0) closesocket(S(socket));
}

}  // namespace platform::net
