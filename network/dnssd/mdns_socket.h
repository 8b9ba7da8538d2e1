#pragma once
// One operation's multicast DNS socket: UDP port 5353 shared with any other
// listener (SO_REUSEADDR/SO_REUSEPORT), joined to 224.0.0.251 on every
// multicast-capable IPv4 interface that is up, reporting the interface each
// datagram came in on (IP_PKTINFO). Or, for one-shot queries (RFC 6762
// 5.1), a socket on an ephemeral port that joins nothing and only hears the
// unicast answers sent back to it.
#include <algorithm>
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

// 224.0.0.251:5353 on every suitable interface.
Endpoint DefaultEndpoint();

struct JoinedInterface {
  unsigned index = 0;
  uint32_t address = 0;  // network byte order
  uint32_t netmask = 0;  // network byte order
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
  // `oneShot` binds an ephemeral port instead and joins nothing.
  int Open(const Endpoint& endpoint, unsigned onlyIndex = 0, bool oneShot = false);
  void Close();

  int fd() const { return fd_; }
  const std::vector<JoinedInterface>& interfaces() const { return joined_; }

  // Sends `data` to the group on interface `index`; false when it failed.
  bool SendOn(unsigned index, const std::vector<uint8_t>& data);
  // True when `from` (network byte order) lies in the subnet of an
  // interface this socket uses: unicast answers count only from the link
  // (RFC 6762 11), never from a sender further away.
  bool OnLink(uint32_t from) const {
    return std::any_of(joined_.begin(), joined_.end(),
                       [&](const JoinedInterface& j) { return (j.address & j.netmask) == (from & j.netmask); });
  }
  // Sends `data` by unicast to `address`:`port` (network byte order address).
  bool SendTo(uint32_t address, uint16_t port, const std::vector<uint8_t>& data);
  // Receives one datagram without waiting. Returns its length, or -1 when
  // none is queued (or on error, with errno set). `index` is the interface
  // it came in on, `from` the sender (network byte order); when given,
  // `fromPort` its port and `toGroup` whether it was sent to a group.
  long Receive(uint8_t* buffer, size_t size, unsigned* index, uint32_t* from, uint16_t* fromPort = nullptr,
               bool* toGroup = nullptr);

 private:
  int fd_ = -1;
  Endpoint endpoint_;
  std::vector<JoinedInterface> joined_;
};

}  // namespace mdns
