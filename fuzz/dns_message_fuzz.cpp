// The multicast DNS message reader, with what the client does next: the
// TXT lookups and the cache. Whatever the datagram, reading stays inside it
// (the copy is exactly its size), the limits hold, and every record read
// writes out and reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "network/dnssd/dns_message.h"
#include "network/dnssd/dns_sd.h"
#include "network/dnssd/dns_writer.h"
#include "network/dnssd/record_cache.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> datagram(data, data + size);
  mdns::Message m;
  bool ok = mdns::ParseMessage(datagram.data(), datagram.size(), m);
  Require(ok || m.records.empty());
  Require(m.questions.size() <= mdns::kMaxQuestions && m.records.size() <= mdns::kMaxRecords);

  mdns::MessageWriter w(mdns::kFlagResponse, size_t{1} << 20);
  mdns::RecordCache cache(16);
  mdns::RecordCache::Changes changes;
  for (const mdns::Record& r : m.records) {
    Require(mdns::NameWireLength(r.name) <= mdns::kMaxNameWireLength);
    if (r.type == mdns::kTypePtr) {
      w.AddPtr(r.section, r.name, r.ttl, r.target);
    } else if (r.type == mdns::kTypeSrv) {
      w.AddSrv(r.section, r.name, r.ttl, r.port, r.target);
    } else {
      w.AddRaw(r.section, r.name, r.type, r.klass, r.ttl, r.rdata);
    }
    if (r.type == mdns::kTypeTxt) {
      uint8_t len = 0;
      const auto txtLen = static_cast<uint16_t>(r.rdata.size());
      TXTRecordContainsKey(txtLen, r.rdata.data(), "id");
      const void* v = TXTRecordGetValuePtr(txtLen, r.rdata.data(), "arcp_vers", &len);
      if (v) {
        const auto* p = static_cast<const uint8_t*>(v);
        Require(p >= r.rdata.data() && p + len <= r.rdata.data() + r.rdata.size());
      }
    }
    cache.Store(r, 1, 0, changes);
    Require(cache.entries().size() <= 16);
  }
  cache.Expire(86400 * 1000 + 1, changes);
  Require(cache.entries().empty());

  // What was read, written again without compression, reads back the same.
  std::vector<uint8_t> again = w.Finish();
  mdns::Message back;
  Require(mdns::ParseMessage(again.data(), again.size(), back));
  Require(back.records.size() == m.records.size());
  for (size_t i = 0; i < m.records.size(); ++i) {
    Require(mdns::NameEquals(back.records[i].name, m.records[i].name));
    Require(back.records[i].type == m.records[i].type);
    Require(mdns::NameEquals(back.records[i].target, m.records[i].target));
  }
  return 0;
}
