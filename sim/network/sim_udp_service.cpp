#include "sim/network/sim_udp_service.h"

#include <cerrno>

#include "platform/core/clock.h"
#include "platform/net/datagram_pair.h"
#include "platform/net/socket_wait.h"
#include "platform/net/udp_socket.h"

namespace sim {

SimUdpService::~SimUdpService() {
  for (auto& [fd, s] : sockets_) {
    platform::net::UdpClose(fd);
    platform::net::UdpClose(s.peer);
  }
}

SimUdpService::Socket* SimUdpService::Find(int socket, int* error) {
  auto it = sockets_.find(socket);
  if (it != sockets_.end()) return &it->second;
  if (error) *error = EBADF;
  return nullptr;
}

int SimUdpService::Open(int* error) {
  int ends[2];
  if (platform::net::DatagramPair(ends, error) < 0) return -1;
  sockets_[ends[0]].peer = ends[1];
  return ends[0];
}

int SimUdpService::Bind(int socket, uint32_t address, uint16_t port, int* error) {
  Socket* s = Find(socket, error);
  if (!s) return -1;
  for (const auto& [fd, other] : sockets_) {
    if (fd != socket && port != 0 && other.port == port) {
      if (error) *error = EADDRINUSE;
      return -1;
    }
  }
  s->address = address;
  s->port = port;
  return 0;
}

int SimUdpService::SetNonBlocking(int socket, int* error) {
  Socket* s = Find(socket, error);
  if (!s) return -1;
  s->nonBlocking = true;  // the pair's ends never block anyway
  return 0;
}

int SimUdpService::SendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port, int* error) {
  Socket* s = Find(socket, error);
  if (!s) return -1;
  const auto* bytes = static_cast<const uint8_t*>(data);
  Datagram d{s->address != 0 ? s->address : host_, s->port, address, port, {bytes, bytes + length}};
  cards_.Deliver(d);
  Pump();
  return static_cast<int>(length);
}

int SimUdpService::Receive(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, int* error) {
  Pump();
  Socket* s = Find(socket, error);
  if (!s) return -1;
  int n = platform::net::DatagramReceive(socket, buffer, size, error);
  if (n < 0) return -1;
  if (!s->written.empty()) {
    if (from) *from = s->written.front().from;
    if (fromPort) *fromPort = s->written.front().fromPort;
    s->written.pop_front();
  }
  Flush(*s);
  return n;
}

int SimUdpService::WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable,
                                int* error) {
  const uint32_t start = platform::TickCount();
  while (true) {
    Pump();
    int n = platform::net::WaitReadable(sockets, 0, readable, error);
    if (n != 0 || timeoutMs == 0) return n;
    if (timeoutMs > 0 && platform::TickCount() - start >= static_cast<uint32_t>(timeoutMs)) return 0;
    // The cards answer only when pumped: look again on the next tick.
    platform::Use<platform::Clock>().WaitForNextTick();
  }
}

void SimUdpService::Close(int socket) {
  auto it = sockets_.find(socket);
  if (it == sockets_.end()) return;
  platform::net::UdpClose(it->second.peer);
  platform::net::UdpClose(socket);
  sockets_.erase(it);
}

void SimUdpService::Pump() {
  std::vector<Datagram> replies = cards_.Collect();
  for (Datagram& d : replies) {
    for (auto& [fd, s] : sockets_) {
      if (s.port != d.toPort) continue;
      s.waiting.push_back(std::move(d));
      break;
    }
  }
  for (auto& [fd, s] : sockets_) Flush(s);
}

void SimUdpService::Flush(Socket& s) {
  while (!s.waiting.empty()) {
    const Datagram& d = s.waiting.front();
    if (platform::net::DatagramSend(s.peer, d.payload.data(), d.payload.size()) < 0) return;
    s.written.push_back(std::move(s.waiting.front()));
    s.waiting.pop_front();
  }
}

}  // namespace sim
