#include "network/dnssd/record_cache.h"

#include <algorithm>

namespace mdns {

bool SameData(const Record& a, const Record& b) {
  if (a.type != b.type) return false;
  if (a.type == kTypePtr) return NameEquals(a.target, b.target);
  if (a.type == kTypeSrv) {
    return a.port == b.port && a.priority == b.priority && a.weight == b.weight && NameEquals(a.target, b.target);
  }
  return a.rdata == b.rdata;
}

void RecordCache::Store(const Record& record, unsigned interface, int64_t nowMs, Changes& changes, bool provisional) {
  auto same = [&](const CacheEntry& e) {
    return e.interface == interface && e.record.type == record.type && NameEquals(e.record.name, record.name);
  };
  if (record.ttl == 0) {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (same(*it) && SameData(it->record, record)) {
        changes.removed.push_back(std::move(*it));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
    return;
  }
  if (record.cacheFlush) {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (same(*it) && !SameData(it->record, record) && it->receivedMs < nowMs - 1000) {
        changes.removed.push_back(std::move(*it));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // TTLs beyond a day are not believed (a bad peer must not pin a record).
  const int64_t ttl = std::min<uint32_t>(record.ttl, 86400);
  for (CacheEntry& e : entries_) {
    if (same(e) && SameData(e.record, record)) {
      if (provisional && !e.provisional) return;
      e.provisional = provisional;
      e.receivedMs = nowMs;
      e.expiresMs = nowMs + ttl * 1000;
      e.originalTtl = record.ttl;
      return;
    }
  }
  CacheEntry e{record, interface, nowMs, nowMs + ttl * 1000, record.ttl, provisional};
  Insert(std::move(e), changes);
}

void RecordCache::Insert(CacheEntry e, Changes& changes) {
  if (entries_.size() >= capacity_) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const CacheEntry& a, const CacheEntry& b) { return a.receivedMs < b.receivedMs; });
    changes.removed.push_back(std::move(*oldest));
    entries_.erase(oldest);
  }
  entries_.push_back(e);
  changes.added.push_back(std::move(e));
}

void RecordCache::Adopt(const CacheEntry& entry, Changes& changes) {
  for (const CacheEntry& e : entries_) {
    if (e.interface == entry.interface && NameEquals(e.record.name, entry.record.name) &&
        SameData(e.record, entry.record)) {
      return;
    }
  }
  Insert(entry, changes);
}

void RecordCache::Expire(int64_t nowMs, Changes& changes) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->expiresMs <= nowMs) {
      changes.removed.push_back(std::move(*it));
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

void RecordCache::Drop(const Name& name, uint16_t type, unsigned interface, Changes& changes) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (interface != 0 && it->interface != interface) {
      ++it;
      continue;
    }
    bool named = it->record.type == type && NameEquals(it->record.name, name);
    bool pointing = type == kTypePtr && it->record.type == kTypePtr && NameEquals(it->record.target, name);
    if (named || pointing) {
      changes.removed.push_back(std::move(*it));
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

std::vector<const CacheEntry*> RecordCache::Find(const Name& name, uint16_t type) const {
  std::vector<const CacheEntry*> out;
  for (const CacheEntry& e : entries_) {
    if ((type == kTypeAny || e.record.type == type) && NameEquals(e.record.name, name)) out.push_back(&e);
  }
  return out;
}

int64_t RecordCache::NextExpiry() const {
  int64_t next = -1;
  for (const CacheEntry& e : entries_) {
    if (next < 0 || e.expiresMs < next) next = e.expiresMs;
  }
  return next;
}

}  // namespace mdns
