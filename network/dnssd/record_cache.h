#pragma once
// The records one operation has heard, with their time to live. Records are
// told apart by name, type, data and the interface they came in on. A
// goodbye (TTL 0) removes a record at once; a record with the cache-flush
// bit replaces the older ones of its name and type on that interface
// (RFC 6762 10.2: those older than a second). Bounded: the oldest records
// make room for new ones.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "network/dnssd/dns_message.h"

namespace mdns {

struct CacheEntry {
  Record record;
  unsigned interface = 0;
  int64_t receivedMs = 0;
  int64_t expiresMs = 0;
  uint32_t originalTtl = 0;
  // Heard only in a unicast answer to a one-shot query (RFC 6762 6.7 caps
  // its TTL at 10 s): never listed as a known answer, so the group answer
  // with the full TTL still comes, and never allowed to shorten a record
  // the group gave.
  bool provisional = false;
};

class RecordCache {
 public:
  explicit RecordCache(size_t capacity = 256) : capacity_(capacity) {}

  struct Changes {
    std::vector<CacheEntry> added;
    std::vector<CacheEntry> removed;
  };

  // Takes in one received record at time `nowMs`.
  void Store(const Record& record, unsigned interface, int64_t nowMs, Changes& changes, bool provisional = false);
  // Takes in a record another cache holds, unless this one has it.
  void Adopt(const CacheEntry& entry, Changes& changes);
  // Removes the records whose time ran out by `nowMs`.
  void Expire(int64_t nowMs, Changes& changes);
  // Forgets records named `name` of `type`, and for PTR also the ones
  // pointing at `name` (a service instance someone failed to reach); only
  // those of `interface` unless it is 0.
  void Drop(const Name& name, uint16_t type, unsigned interface, Changes& changes);

  std::vector<const CacheEntry*> Find(const Name& name, uint16_t type) const;
  const std::vector<CacheEntry>& entries() const { return entries_; }
  // The earliest expiry, or -1 when empty.
  int64_t NextExpiry() const;

 private:
  void Insert(CacheEntry entry, Changes& changes);
  std::vector<CacheEntry> entries_;
  size_t capacity_;
};

// True when two records carry the same data (PTR/SRV by their target and
// numbers, others byte for byte).
bool SameData(const Record& a, const Record& b);

}  // namespace mdns
