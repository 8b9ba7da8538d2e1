#include "sim/network/process/udp_card_server.h"

#include <cstring>

#include "platform/net/udp_addressed.h"
#include "platform/net/udp_socket.h"

namespace sim {
namespace {

int OpenPort(uint16_t port, std::string& error) {
  namespace net = platform::net;
  int e = 0;
  int s = net::UdpOpen(&e);
  if (s < 0 || net::UdpReportDestination(s, &e) < 0 || net::UdpBind(s, 0, port, &e) < 0 ||
      net::UdpSetNonBlocking(s, &e) < 0) {
    error = "port " + std::to_string(port) + ": " + std::strerror(e);
    net::UdpClose(s);
    return -1;
  }
  return s;
}

}  // namespace

UdpCardServer::~UdpCardServer() {
  platform::net::UdpClose(unitSocket_);
  platform::net::UdpClose(cardSocket_);
  for (const auto& [port, socket] : portSockets_) platform::net::UdpClose(socket);
}

int UdpCardServer::PortSocket(uint16_t port) {
  auto it = portSockets_.find(port);
  if (it != portSockets_.end()) return it->second;
  std::string ignored;
  return portSockets_[port] = OpenPort(port, ignored);
}

bool UdpCardServer::Open(std::string& error) {
  unitSocket_ = OpenPort(kUnitPort, error);
  if (unitSocket_ < 0) return false;
  cardSocket_ = OpenPort(kCardPort, error);
  return cardSocket_ >= 0;
}

void UdpCardServer::Serve() {
  Drain(unitSocket_, false);
  Drain(cardSocket_, true);
  for (const Datagram& d : cards_.Collect()) {
    const int socket = d.fromPort == kUnitPort ? unitSocket_ : PortSocket(d.fromPort);
    if (socket < 0) continue;
    // A card address that is not this machine's cannot be a source; the
    // reply then leaves from whatever address the route gives.
    if (platform::net::UdpSendFrom(socket, d.payload.data(), d.payload.size(), d.from, d.to, d.toPort) < 0) {
      platform::net::UdpSendTo(socket, d.payload.data(), d.payload.size(), d.to, d.toPort);
    }
  }
}

void UdpCardServer::Drain(int socket, bool toCard) {
  if (cards_.Cards().empty()) return;
  static uint8_t buffer[65536];
  while (true) {
    Datagram d;
    int n = platform::net::UdpReceiveAddressed(socket, buffer, sizeof buffer, &d.from, &d.fromPort, &d.to);
    if (n < 0) return;
    d.toPort = toCard ? kCardPort : kUnitPort;
    d.payload.assign(buffer, buffer + n);
    CardEndpoints::Card* card = cards_.Find(d.to);
    cards_.DeliverTo(card ? *card : *cards_.Cards().front(), d, toCard);
  }
}

bool UdpCardServer::Inject(uint32_t source, const std::vector<uint8_t>& payload) {
  if (cards_.Cards().empty() || cards_.Cards().front()->host == 0) return false;
  namespace net = platform::net;
  int s = net::UdpOpen();
  bool sent = s >= 0 && net::UdpBind(s, source, 0) == 0 &&
              net::UdpSendTo(s, payload.data(), payload.size(), cards_.Cards().front()->host, kHostPort) >= 0;
  net::UdpClose(s);
  return sent;
}

}  // namespace sim
