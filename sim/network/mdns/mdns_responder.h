#pragma once
// A small multicast DNS responder: it advertises services (PTR for the type
// and its subtypes, SRV, TXT, A), answers the questions it hears, says
// goodbye, and sends whatever raw datagram a test wants. The network
// simulator advertises its cards with it; the DNS-SD client's tests script
// it. It runs on its caller's thread: Serve() handles what is queued and
// sends the answers that are due.
//
// It answers as a real responder does (RFC 6762), no more helpfully:
// - an answer holding a shared record (PTR) goes out 20-120 ms late;
// - a record is never multicast again within a second on one interface
//   (announcements count; a later answer leaves it out);
// - a record the question lists as a known answer with half its TTL left
//   is not given;
// - SRV, TXT and A records of a PTR answer go in the additional section;
// - a question with the unicast-response bit (QU) is answered by unicast,
//   and a query from a port other than 5353 (a one-shot query) by unicast
//   to that port at once, with its id, its questions and TTLs of 10 s.
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "network/dnssd/dns_message.h"
#include "network/dnssd/dns_writer.h"
#include "network/dnssd/mdns_socket.h"
#include "platform/core/non_copyable.h"

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

class MdnsResponder : platform::NonCopyable {
 public:
  MdnsResponder() = default;
  ~MdnsResponder();

  // Binds port 5353 (shared) and joins the group on `interfaces` (every
  // multicast interface that is up when the list is empty). False when it
  // could join none.
  bool Open(const std::vector<unsigned>& interfaces);
  // What to wait on: readable when a datagram arrives or an answer is due.
  int fd() const { return wait_; }
  // The interfaces joined by Open.
  std::vector<unsigned> Interfaces() const;

  void Add(const AdvertisedService& service) { services_.push_back(service); }
  std::vector<AdvertisedService>& services() { return services_; }

  // Every service (or one) advertised unasked on `interface`; `ttl`
  // overrides the services' own (0 = goodbye). Sent as told (the caller
  // paces announcements), but remembered for the one-second rule.
  void Announce(unsigned interface);
  void Announce(const AdvertisedService& service, unsigned interface, int64_t ttl = -1);
  void Goodbye(const AdvertisedService& service, unsigned interface) { Announce(service, interface, 0); }
  void SendRaw(const std::vector<uint8_t>& datagram, unsigned interface);

  // Reads every queued question and sends the answers due by now; returns
  // how many queries it read.
  int Serve();
  bool answerQueries = true;
  int queriesSeen = 0;
  // Known answers seen in the last query (PTR targets, as text).
  std::vector<std::string> lastKnownAnswers;

 private:
  using Clock = std::chrono::steady_clock;
  enum class Kind { Ptr, Srv, Txt, A };
  struct Item {
    Kind kind;
    size_t service;   // index in services_ (Announce: its own copy)
    mdns::Name name;  // PTR: the type or subtype name
    bool operator==(const Item& o) const { return kind == o.kind && service == o.service && name == o.name; }
  };
  struct Answer {
    Clock::time_point due;
    unsigned interface = 0;
    uint32_t to = 0;  // unicast to this address (port 5353); 0 multicast
    std::vector<Item> answers, additional;
  };

  // False when the datagram was no query.
  bool Handle(const uint8_t* data, size_t size, unsigned interface, uint32_t from, uint16_t port);
  void Questions(const mdns::Message& msg, std::vector<Item>& answers, std::vector<Item>& additional,
                 bool* shared) const;
  bool Known(const mdns::Message& msg, const Item& item) const;
  mdns::Record ItemRecord(const Item& item, const AdvertisedService& s, uint32_t ttl) const;
  void Write(mdns::MessageWriter& w, mdns::Section section, const Item& item, const AdvertisedService& s,
             bool legacy) const;
  std::string Key(const Item& item, const AdvertisedService& s) const;
  void SendDue();
  void Rearm();

  mdns::MdnsSocket socket_;
  int timer_ = -1;
  int wait_ = -1;
  bool continued_ = false;
  std::vector<AdvertisedService> services_;
  std::vector<Answer> queued_;
  // When each record was last multicast, per interface.
  std::map<std::pair<std::string, unsigned>, Clock::time_point> lastMulticast_;
  std::mt19937 random_{std::random_device{}()};
};

// Names of a service.
mdns::Name TypeName(const AdvertisedService& s);
mdns::Name InstanceName(const AdvertisedService& s);
mdns::Name HostName(const AdvertisedService& s);

}  // namespace sim
