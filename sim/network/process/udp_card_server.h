#pragma once
// The simulated cards on real UDP sockets: ports 5645 and 5647 bound to
// every address, each datagram handed to the card whose address it was
// sent to (the first card when none has that address), the cards' replies
// sent from that card's address to the host's port 5646.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/core/non_copyable.h"
#include "sim/network/card_endpoints.h"

namespace sim {

class UdpCardServer : platform::NonCopyable {
 public:
  explicit UdpCardServer(CardEndpoints& cards) : cards_(cards) {}
  ~UdpCardServer();

  // Binds both ports; false with `error` set when either is taken.
  bool Open(std::string& error);
  // The sockets to wait on.
  std::vector<int> Sockets() const { return {unitSocket_, cardSocket_}; }

  // Takes every queued datagram, then sends what the cards have to say.
  void Serve();

  // Sends `payload` to the host the first card last heard from (port 5646),
  // from `source` (a local address). False when no host is known yet or
  // the send failed.
  bool Inject(uint32_t source, const std::vector<uint8_t>& payload);

 private:
  void Drain(int socket, bool toCard);
  // A socket bound to `port` for replies that leave from another port than
  // the unit's (a flood); opened on first use, -1 when it cannot be.
  int PortSocket(uint16_t port);

  CardEndpoints& cards_;
  int unitSocket_ = -1;
  int cardSocket_ = -1;
  std::map<uint16_t, int> portSockets_;
};

}  // namespace sim
