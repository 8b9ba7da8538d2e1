#pragma once
// The UDP service with the simulated cards inside the process: sockets are
// local socket pairs (real descriptors, so waits poll them as usual), a
// send to a card's address hands the datagram to the card, and the cards'
// replies arrive on the socket bound to port 5646 with the card's address
// as sender. Nothing reaches a real network: datagrams to other addresses
// are taken and lost, as on a network where nobody listens. The cards'
// time-driven replies (erase done and the like) are collected whenever the
// caller sends, receives or waits.
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "platform/net/udp_service.h"
#include "sim/network/card_endpoints.h"

namespace sim {

class SimUdpService final : public platform::UdpService {
 public:
  // `hostAddress` is what the cards see as sender of an unbound socket.
  SimUdpService(CardEndpoints& cards, uint32_t hostAddress) : cards_(cards), host_(hostAddress) {}
  ~SimUdpService() override;
  SimUdpService(const SimUdpService&) = delete;
  SimUdpService& operator=(const SimUdpService&) = delete;

  int Open(int* error) override;
  // A port bound by another socket of this service is EADDRINUSE.
  int Bind(int socket, uint32_t address, uint16_t port, int* error) override;
  int SetNonBlocking(int socket, int* error) override;
  int SendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port, int* error) override;
  int Receive(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, int* error) override;
  int WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable, int* error) override;
  void Close(int socket) override;

  // Moves the cards on and queues their replies on the socket bound to
  // port 5646 (lost when there is none).
  void Pump();
  // Sockets open now.
  size_t OpenSockets() const { return sockets_.size(); }

 private:
  struct Socket {
    int peer = -1;  // the end the replies are written into
    uint32_t address = 0;
    uint16_t port = 0;
    bool nonBlocking = false;
    std::deque<Datagram> waiting;  // not yet written: the pair's queue was full
    std::deque<Datagram> written;  // in the pair, in order: who sent each
  };
  Socket* Find(int socket, int* error);
  void Flush(Socket& s);

  CardEndpoints& cards_;
  uint32_t host_;
  std::map<int, Socket> sockets_;
};

}  // namespace sim
