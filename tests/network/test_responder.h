#pragma once
// A small multicast DNS responder for the client's tests: it advertises
// services (PTR for the type and its subtypes, SRV, TXT, A), answers the
// questions it hears, says goodbye, and sends whatever raw datagram a test
// wants. It runs on the test's thread: Serve() handles what is queued.
#include <cstdint>
#include <string>
#include <vector>

#include "network/dnssd/dns_writer.h"

namespace test_support {

struct TestService {
  std::string instance;
  std::string type = "_netaudio-cmc._udp";
  std::vector<std::string> subtypes;  // e.g. "_Zelk"
  std::string host = "unit1";
  uint16_t port = 8700;
  std::vector<uint8_t> txt = mdns::MakeTxt({"id=0011223344556677", "process=0"});
  uint32_t address = 0;  // network byte order
  uint32_t ttl = 120;
};

class TestResponder {
 public:
  TestResponder() = default;
  ~TestResponder();
  TestResponder(const TestResponder&) = delete;
  TestResponder& operator=(const TestResponder&) = delete;

  // Binds port 5353 (shared) and joins the group on `interfaces`.
  bool Open(const std::vector<unsigned>& interfaces);
  int fd() const { return fd_; }

  void Add(const TestService& service) { services_.push_back(service); }
  std::vector<TestService>& services() { return services_; }

  // Every service (or one) advertised unasked on `interface`; `ttl`
  // overrides the services' own (0 = goodbye).
  void Announce(unsigned interface);
  void Announce(const TestService& service, unsigned interface, int64_t ttl = -1);
  void Goodbye(const TestService& service, unsigned interface) { Announce(service, interface, 0); }
  void SendRaw(const std::vector<uint8_t>& datagram, unsigned interface);

  // Answers every queued question; returns how many queries it read.
  int Serve();
  bool answerQueries = true;
  int queriesSeen = 0;
  // Known answers seen in the last query (PTR targets, as text).
  std::vector<std::string> lastKnownAnswers;

 private:
  void AddAll(mdns::MessageWriter& w, const TestService& s, uint32_t ttl, bool ptrAnswers);
  int fd_ = -1;
  bool continued_ = false;
  std::vector<TestService> services_;
};

// Names of a service.
mdns::Name TypeName(const TestService& s);
mdns::Name InstanceName(const TestService& s);
mdns::Name HostName(const TestService& s);

}  // namespace test_support
