#pragma once
// A small multicast DNS responder: it advertises services (PTR for the type
// and its subtypes, SRV, TXT, A), answers the questions it hears, says
// goodbye, and sends whatever raw datagram a test wants. The network
// simulator advertises its cards with it; the DNS-SD client's tests script
// it. It runs on its caller's thread: Serve() handles what is queued.
#include <cstdint>
#include <string>
#include <vector>

#include "network/dnssd/dns_writer.h"
#include "network/dnssd/mdns_socket.h"

namespace sim {

struct AdvertisedService {
  std::string instance;
  std::string type = "_netaudio-cmc._udp";
  std::vector<std::string> subtypes;  // e.g. "_Zelk"
  std::string host = "unit1";
  uint16_t port = 8700;
  std::vector<uint8_t> txt = mdns::MakeTxt({"id=0011223344556677", "process=0"});
  uint32_t address = 0;  // network byte order
  uint32_t ttl = 120;
};

class MdnsResponder {
 public:
  MdnsResponder() = default;
  MdnsResponder(const MdnsResponder&) = delete;
  MdnsResponder& operator=(const MdnsResponder&) = delete;

  // Binds port 5353 (shared) and joins the group on `interfaces` (every
  // multicast interface that is up when the list is empty). False when it
  // could join none.
  bool Open(const std::vector<unsigned>& interfaces);
  int fd() const { return socket_.fd(); }
  // The interfaces joined by Open.
  std::vector<unsigned> Interfaces() const;

  void Add(const AdvertisedService& service) { services_.push_back(service); }
  std::vector<AdvertisedService>& services() { return services_; }

  // Every service (or one) advertised unasked on `interface`; `ttl`
  // overrides the services' own (0 = goodbye).
  void Announce(unsigned interface);
  void Announce(const AdvertisedService& service, unsigned interface, int64_t ttl = -1);
  void Goodbye(const AdvertisedService& service, unsigned interface) { Announce(service, interface, 0); }
  void SendRaw(const std::vector<uint8_t>& datagram, unsigned interface);

  // Answers every queued question; returns how many queries it read.
  int Serve();
  bool answerQueries = true;
  int queriesSeen = 0;
  // Known answers seen in the last query (PTR targets, as text).
  std::vector<std::string> lastKnownAnswers;

 private:
  void AddAll(mdns::MessageWriter& w, const AdvertisedService& s, uint32_t ttl, bool ptrAnswers);
  mdns::MdnsSocket socket_;
  bool continued_ = false;
  std::vector<AdvertisedService> services_;
};

// Names of a service.
mdns::Name TypeName(const AdvertisedService& s);
mdns::Name InstanceName(const AdvertisedService& s);
mdns::Name HostName(const AdvertisedService& s);

}  // namespace sim
