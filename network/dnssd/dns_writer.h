#pragma once
// Building DNS messages: queries with known answers, and (for test
// responders) responses. Names are written uncompressed; a record that
// would take the message past its size limit is left out and counted.
#include <cstdint>
#include <string>
#include <vector>

#include "network/dnssd/dns_message.h"

namespace mdns {

class MessageWriter {
 public:
  // `limit`: the largest message to build (RFC 6762 allows 9000 bytes; a
  // query stays within one Ethernet frame).
  explicit MessageWriter(uint16_t flags = 0, size_t limit = 1440) : flags_(flags), limit_(limit) {}

  void AddQuestion(const Name& name, uint16_t type, bool unicastResponse = false);
  void AddPtr(Section section, const Name& name, uint32_t ttl, const Name& target);
  void AddSrv(Section section, const Name& name, uint32_t ttl, uint16_t port, const Name& target);
  // `txt` is the record's data: length-prefixed strings.
  void AddTxt(Section section, const Name& name, uint32_t ttl, const std::vector<uint8_t>& txt);
  // `address` in network byte order.
  void AddA(Section section, const Name& name, uint32_t ttl, uint32_t address);
  // Any record from its parts, e.g. a copy of a parsed one.
  void AddRaw(Section section, const Name& name, uint16_t type, uint16_t klass, uint32_t ttl,
              const std::vector<uint8_t>& rdata);

  std::vector<uint8_t> Finish() const;
  // Records left out because the message was full.
  size_t Dropped() const { return dropped_; }

 private:
  bool Fits(size_t more) const;
  uint16_t flags_;
  size_t limit_;
  size_t dropped_ = 0;
  std::vector<uint8_t> questions_;
  std::vector<uint8_t> sections_[3];
  uint16_t counts_[4] = {};
};

// Appends the wire form of `name` (uncompressed).
void AppendName(std::vector<uint8_t>& out, const Name& name);
// "key=value" items to TXT record data (items over 255 bytes are cut).
std::vector<uint8_t> MakeTxt(const std::vector<std::string>& items);

}  // namespace mdns
