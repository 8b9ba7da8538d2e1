#pragma once
// The UDP service the network transport talks through: the plain socket
// calls of udp_socket.h and the wait of socket_wait.h behind one seam, so a
// simulation can stand in-process units behind it and nothing it sends
// reaches a real network. Results and errors as in udp_socket.h (-1 and
// an errno value in *error); addresses and ports in host order.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/service.h"

namespace platform {

class UdpService {
 public:
  virtual ~UdpService() = default;
  virtual int Open(int* error) = 0;
  virtual int Bind(int socket, uint32_t address, uint16_t port, int* error) = 0;
  virtual int SetNonBlocking(int socket, int* error) = 0;
  virtual int SendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port,
                     int* error) = 0;
  virtual int Receive(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, int* error) = 0;
  virtual int WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable,
                           int* error) = 0;
  virtual void Close(int socket) = 0;
};

}  // namespace platform
