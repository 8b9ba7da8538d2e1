#pragma once
// Reading DNS messages (RFC 1035, with the multicast DNS bits of RFC 6762)
// from datagrams nobody vouches for. The reader never reads outside the
// datagram: every length is checked, name compression may only point
// backwards (so it cannot loop) and is followed at most kMaxPointerJumps
// times, and a record whose data does not fit its type is skipped. A
// record whose length runs past the datagram ends the reading; what was
// read before it is kept.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "network/dnssd/dns_name.h"

namespace mdns {

inline constexpr uint16_t kTypeA = 1;
inline constexpr uint16_t kTypePtr = 12;
inline constexpr uint16_t kTypeTxt = 16;
inline constexpr uint16_t kTypeSrv = 33;
inline constexpr uint16_t kTypeAny = 255;
inline constexpr uint16_t kClassIn = 1;
inline constexpr uint16_t kClassMask = 0x7FFF;       // the top bit is mDNS's
inline constexpr uint16_t kCacheFlushBit = 0x8000;   // in records
inline constexpr uint16_t kUnicastResponseBit = 0x8000;  // in questions
inline constexpr uint16_t kFlagResponse = 0x8000;

inline constexpr size_t kMaxPointerJumps = 32;
inline constexpr size_t kMaxQuestions = 128;
inline constexpr size_t kMaxRecords = 256;

enum class Section { Answer, Authority, Additional };

struct Question {
  Name name;
  uint16_t type = 0;
  uint16_t klass = 0;  // without the unicast-response bit
  bool unicastResponse = false;
};

struct Record {
  Name name;
  uint16_t type = 0;
  uint16_t klass = 0;  // without the cache-flush bit
  bool cacheFlush = false;
  uint32_t ttl = 0;
  Section section = Section::Answer;
  std::vector<uint8_t> rdata;  // as received (compressed names unexpanded)
  Name target;                 // PTR and SRV: the name the record points to
  uint16_t priority = 0, weight = 0, port = 0;  // SRV
};

struct Message {
  uint16_t id = 0;
  uint16_t flags = 0;
  std::vector<Question> questions;
  std::vector<Record> records;
  bool IsResponse() const { return (flags & kFlagResponse) != 0; }
};

// Reads `size` bytes at `data` into `out`. False when not even the header
// and the questions could be read; records that could not be read are
// missing from `out.records`.
bool ParseMessage(const uint8_t* data, size_t size, Message& out);

// Reads a (possibly compressed) name at `*offset`; advances `*offset` past
// it in the message. False when it is malformed.
bool ReadName(const uint8_t* data, size_t size, size_t* offset, Name& out);

}  // namespace mdns
