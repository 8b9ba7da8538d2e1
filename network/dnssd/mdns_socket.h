#pragma once
// One operation's multicast DNS socket: UDP port 5353 shared with any other
// listener (SO_REUSEADDR/SO_REUSEPORT), joined to 224.0.0.251 on every
// multicast-capable IPv4 interface that is up, reporting the interface each
// datagram came in on (IP_PKTINFO).
//
// For tests only, the environment may move it: REFLASH_MDNS_TEST_GROUP (a
// dotted IPv4 group), REFLASH_MDNS_TEST_PORT, REFLASH_MDNS_TEST_INTERFACES
// (comma-separated interface names to use instead of all).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mdns {

struct Endpoint {
  uint32_t group = 0;  // network byte order
  uint16_t port = 5353;
  std::vector<std::string> onlyInterfaces;  // empty: every suitable one
};

// 224.0.0.251:5353 unless the test hooks say otherwise.
Endpoint EndpointFromEnvironment();

struct JoinedInterface {
  unsigned index = 0;
  uint32_t address = 0;  // network byte order
  std::string name;
};

class MdnsSocket {
 public:
  MdnsSocket() = default;
  ~MdnsSocket() { Close(); }
  MdnsSocket(const MdnsSocket&) = delete;
  MdnsSocket& operator=(const MdnsSocket&) = delete;

  // Opens, binds and joins. `onlyIndex` non-zero limits it to that
  // interface. Returns 0 or an errno value; no interface to join is ENODEV.
  int Open(const Endpoint& endpoint, unsigned onlyIndex = 0);
  void Close();

  int fd() const { return fd_; }
  const std::vector<JoinedInterface>& interfaces() const { return joined_; }

  // Sends `data` to the group on interface `index`; false when it failed.
  bool SendOn(unsigned index, const std::vector<uint8_t>& data);
  // Receives one datagram without waiting. Returns its length, or -1 when
  // none is queued (or on error, with errno set). `index` is the interface
  // it came in on, `from` the sender (network byte order).
  long Receive(uint8_t* buffer, size_t size, unsigned* index, uint32_t* from);

 private:
  int fd_ = -1;
  Endpoint endpoint_;
  std::vector<JoinedInterface> joined_;
};

}  // namespace mdns
