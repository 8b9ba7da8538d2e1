#include "platform/net/udp_service.h"

#include "platform/net/socket_wait.h"
#include "platform/net/udp_socket.h"

namespace platform {
namespace {

// The operating system's sockets.
class SystemUdpService final : public UdpService {
 public:
  int Open(int* error) override { return net::UdpOpen(error); }
  int Bind(int socket, uint32_t address, uint16_t port, int* error) override {
    return net::UdpBind(socket, address, port, error);
  }
  int SetNonBlocking(int socket, int* error) override { return net::UdpSetNonBlocking(socket, error); }
  int SendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port, int* error) override {
    return net::UdpSendTo(socket, data, length, address, port, error);
  }
  int Receive(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, int* error) override {
    return net::UdpReceive(socket, buffer, size, from, fromPort, error);
  }
  int WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable,
                   int* error) override {
    return net::WaitReadable(sockets, timeoutMs, readable, error);
  }
  void Close(int socket) override { net::UdpClose(socket); }
};

SystemUdpService theSystemUdpService;  // stateless: safe to build before main

}  // namespace

template <>
UdpService& DefaultService<UdpService>() { return theSystemUdpService; }

}  // namespace platform
