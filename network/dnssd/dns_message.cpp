#include "network/dnssd/dns_message.h"

namespace mdns {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Fills the typed fields of `r` from its data at [start, start + length);
// false when the data does not fit the type.
bool ReadTypedData(const uint8_t* data, size_t start, size_t length, Record& r) {
  const size_t end = start + length;
  switch (r.type) {
    case kTypeA:
      return length == 4;
    case kTypePtr: {
      size_t at = start;
      // The target must lie inside the record's own data.
      return ReadName(data, end, &at, r.target) && at == end;
    }
    case kTypeSrv: {
      if (length < 7) return false;
      r.priority = Get16(data + start);
      r.weight = Get16(data + start + 2);
      r.port = Get16(data + start + 4);
      size_t at = start + 6;
      return ReadName(data, end, &at, r.target) && at == end;
    }
    case kTypeTxt: {
      // A run of length-prefixed strings that ends exactly at the end.
      size_t at = start;
      while (at < end) at += 1 + data[at];
      return at == end;
    }
    default:
      return true;
  }
}

}  // namespace

bool ReadName(const uint8_t* data, size_t size, size_t* offset, Name& out) {
  out.clear();
  size_t at = *offset;
  size_t resume = 0;  // where the message continues after the first jump
  size_t jumps = 0;
  size_t wire = 1;
  size_t lowest = at;  // every jump must go below the lowest point read so far
  while (true) {
    if (at >= size) return false;
    uint8_t len = data[at];
    if (len == 0) {
      if (jumps == 0) resume = at + 1;
      break;
    }
    if ((len & 0xC0) == 0xC0) {
      if (at + 1 >= size) return false;
      size_t target = static_cast<size_t>(len & 0x3F) << 8 | data[at + 1];
      if (jumps == 0) resume = at + 2;
      if (++jumps > kMaxPointerJumps || target >= lowest) return false;
      at = target;
      lowest = target;
      continue;
    }
    if ((len & 0xC0) != 0) return false;  // the 0x40 and 0x80 label kinds are unused
    if (at + 1 + len > size) return false;
    wire += 1 + len;
    if (wire > kMaxNameWireLength) return false;
    std::string label(reinterpret_cast<const char*>(data + at + 1), len);
    if (label.find('\0') != std::string::npos) return false;
    out.push_back(std::move(label));
    at += 1 + len;
  }
  *offset = resume;
  return true;
}

bool ParseMessage(const uint8_t* data, size_t size, Message& out) {
  out = Message{};
  if (data == nullptr || size < 12) return false;
  out.id = Get16(data);
  out.flags = Get16(data + 2);
  const size_t qd = Get16(data + 4);
  const size_t counts[3] = {Get16(data + 6), Get16(data + 8), Get16(data + 10)};
  size_t at = 12;
  for (size_t i = 0; i < qd; ++i) {
    Question q;
    if (i >= kMaxQuestions || !ReadName(data, size, &at, q.name) || at + 4 > size) return false;
    q.type = Get16(data + at);
    uint16_t klass = Get16(data + at + 2);
    q.unicastResponse = (klass & kUnicastResponseBit) != 0;
    q.klass = klass & kClassMask;
    at += 4;
    out.questions.push_back(std::move(q));
  }
  const Section sections[3] = {Section::Answer, Section::Authority, Section::Additional};
  for (int s = 0; s < 3; ++s) {
    for (size_t i = 0; i < counts[s]; ++i) {
      if (out.records.size() >= kMaxRecords) return true;
      Record r;
      r.section = sections[s];
      if (!ReadName(data, size, &at, r.name) || at + 10 > size) return true;
      r.type = Get16(data + at);
      uint16_t klass = Get16(data + at + 2);
      r.cacheFlush = (klass & kCacheFlushBit) != 0;
      r.klass = klass & kClassMask;
      r.ttl = Get32(data + at + 4);
      size_t length = Get16(data + at + 8);
      at += 10;
      if (at + length > size) return true;  // a lying length: nothing after it can be trusted
      if (ReadTypedData(data, at, length, r)) {
        r.rdata.assign(data + at, data + at + length);
        out.records.push_back(std::move(r));
      }
      at += length;
    }
  }
  return true;
}

}  // namespace mdns
