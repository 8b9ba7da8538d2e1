// How browse, resolve and record-query operations ask and listen.
#include <algorithm>
#include <cerrno>

#include "network/dnssd/dns_writer.h"
#include "network/dnssd/operation.h"
#include "platform/net/byte_order.h"

namespace mdns {

_DNSServiceRef_t*& LiveOperations() {
  static _DNSServiceRef_t* head = nullptr;
  return head;
}

RecordCache& ProcessCache() {
  static RecordCache cache(2048);
  return cache;
}

void Link(_DNSServiceRef_t* op) {
  op->nextLive = LiveOperations();
  LiveOperations() = op;
}

void Unlink(_DNSServiceRef_t* op) {
  for (_DNSServiceRef_t** p = &LiveOperations(); *p; p = &(*p)->nextLive) {
    if (*p == op) {
      *p = op->nextLive;
      break;
    }
  }
  op->nextLive = nullptr;
}

namespace {

bool Relevant(const _DNSServiceRef_t* op, const Record& r) {
  if (r.section == Section::Authority || r.klass != kClassIn) return false;
  if (!NameEquals(r.name, op->question) && (op->alsoAsked.empty() || !NameEquals(r.name, op->alsoAsked))) {
    return false;
  }
  switch (op->kind) {
    case OperationKind::Browse:
      return r.type == kTypePtr;
    case OperationKind::Resolve:
      return r.type == kTypeSrv || r.type == kTypeTxt;
    case OperationKind::Query:
      return op->questionType == kTypeAny || r.type == op->questionType;
    default:
      return false;
  }
}

std::string ServiceTypeText(const _DNSServiceRef_t* op) { return NameToText(op->serviceType); }

void QueueBrowseReply(_DNSServiceRef_t* op, const CacheEntry& e, bool add) {
  const Name& target = e.record.target;
  Name expected = op->serviceType;
  expected.insert(expected.end(), op->domain.begin(), op->domain.end());
  if (target.size() != expected.size() + 1 || !NameEndsWith(target, expected)) return;
  // An instance listed under both forms of a subtype is one instance: it
  // comes with its first record and goes with its last.
  const std::pair<unsigned, std::string> key{e.interface, NameToText(target)};
  auto known = std::find(op->reported.begin(), op->reported.end(), key);
  if (add) {
    if (known != op->reported.end()) return;
    op->reported.push_back(key);
  } else {
    for (const CacheEntry& c : op->cache.entries()) {
      if (c.record.type == kTypePtr && c.interface == e.interface && NameEquals(c.record.target, target)) return;
    }
    if (known == op->reported.end()) return;
    op->reported.erase(known);
  }
  std::string instance = target.front();
  std::string type = ServiceTypeText(op);
  std::string domain = NameToText(op->domain);
  unsigned interface = e.interface;
  op->pending.push_back([op, add, interface, instance, type, domain](DNSServiceFlags more) {
    op->browseReply(op, more | (add ? kDNSServiceFlagsAdd : 0), interface, kDNSServiceErr_NoError,
                    instance.c_str(), type.c_str(), domain.c_str(), op->context);
  });
}

void QueueQueryReply(_DNSServiceRef_t* op, const CacheEntry& e, bool add) {
  std::string name = NameToText(e.record.name);
  // PTR and SRV data go out with their names expanded: a compression
  // pointer means nothing outside the datagram it came in.
  std::vector<uint8_t> rdata = e.record.rdata;
  if (e.record.type == kTypePtr) {
    rdata.clear();
    AppendName(rdata, e.record.target);
  } else if (e.record.type == kTypeSrv) {
    rdata.assign(e.record.rdata.begin(), e.record.rdata.begin() + 6);
    AppendName(rdata, e.record.target);
  }
  uint16_t type = e.record.type;
  uint32_t ttl = add ? e.originalTtl : 0;
  unsigned interface = e.interface;
  if (add) op->answered = true;
  op->pending.push_back([op, add, interface, name, type, rdata, ttl](DNSServiceFlags more) {
    op->queryReply(op, more | (add ? kDNSServiceFlagsAdd : 0), interface, kDNSServiceErr_NoError, name.c_str(), type,
                   kClassIn, static_cast<uint16_t>(rdata.size()), rdata.data(), ttl, op->context);
  });
}

// A resolve answers once it has both the SRV and the TXT record of an
// interface, and again whenever either changes.
void UpdateResolve(_DNSServiceRef_t* op) {
  std::vector<unsigned> interfaces;
  for (const CacheEntry& e : op->cache.entries()) {
    if (std::find(interfaces.begin(), interfaces.end(), e.interface) == interfaces.end()) {
      interfaces.push_back(e.interface);
    }
  }
  // Interfaces that lost their SRV record are forgotten (and asked again).
  std::erase_if(op->reported, [&](const auto& r) {
    for (const CacheEntry& e : op->cache.entries()) {
      if (e.interface == r.first && e.record.type == kTypeSrv) return false;
    }
    return true;
  });
  op->answered = !op->reported.empty();
  for (unsigned interface : interfaces) {
    const CacheEntry* srv = nullptr;
    const CacheEntry* txt = nullptr;
    for (const CacheEntry& e : op->cache.entries()) {
      if (e.interface != interface) continue;
      if (e.record.type == kTypeSrv && (!srv || e.receivedMs >= srv->receivedMs)) srv = &e;
      if (e.record.type == kTypeTxt && (!txt || e.receivedMs >= txt->receivedMs)) txt = &e;
    }
    if (!srv || !txt) continue;
    std::string host = NameToText(srv->record.target);
    uint16_t port = srv->record.port;
    std::vector<uint8_t> text = txt->record.rdata;
    std::string key = host + "|" + std::to_string(port) + "|" + std::string(text.begin(), text.end());
    auto known = std::find_if(op->reported.begin(), op->reported.end(),
                              [&](const auto& r) { return r.first == interface; });
    if (known != op->reported.end() && known->second == key) continue;
    if (known != op->reported.end()) {
      known->second = key;
    } else {
      op->reported.emplace_back(interface, key);
    }
    op->answered = true;
    std::string full = EscapeLabel(op->question.front()) + "." + NameToText(op->serviceType) + NameToText(op->domain);
    op->pending.push_back([op, interface, full, host, port, text](DNSServiceFlags more) {
      op->resolveReply(op, more, interface, kDNSServiceErr_NoError, full.c_str(), host.c_str(), platform::net::HostToNetwork16(port),
                       static_cast<uint16_t>(text.size()), text.data(), op->context);
    });
  }
}

}  // namespace

void QueueReplies(_DNSServiceRef_t* op, const RecordCache::Changes& changes) {
  switch (op->kind) {
    case OperationKind::Browse:
      for (const CacheEntry& e : changes.removed) QueueBrowseReply(op, e, false);
      for (const CacheEntry& e : changes.added) QueueBrowseReply(op, e, true);
      break;
    case OperationKind::Query:
      for (const CacheEntry& e : changes.removed) QueueQueryReply(op, e, false);
      for (const CacheEntry& e : changes.added) QueueQueryReply(op, e, true);
      if (!changes.removed.empty() && op->cache.entries().empty()) op->answered = false;
      break;
    case OperationKind::Resolve:
      if (!changes.added.empty() || !changes.removed.empty()) UpdateResolve(op);
      break;
    default:
      break;
  }
  if (!op->answered && op->kind != OperationKind::Browse && !changes.removed.empty()) {
    // What we knew went away: start asking again from the short interval.
    op->intervalMs = kFirstInterval;
    op->nextQueryMs = 0;
  }
}

namespace {

void AddQuestions(_DNSServiceRef_t* op, MessageWriter& w) {
  if (op->kind == OperationKind::Resolve) {
    w.AddQuestion(op->question, kTypeSrv);
    w.AddQuestion(op->question, kTypeTxt);
    return;
  }
  w.AddQuestion(op->question, op->questionType);
  if (!op->alsoAsked.empty()) w.AddQuestion(op->alsoAsked, op->questionType);
}

uint16_t NextQueryId() {
  static uint16_t id = static_cast<uint16_t>(NowMs() * 2654435761u >> 16);
  if (++id == 0) ++id;
  return id;
}

// A cold operation's first question also goes out from an ephemeral port
// (RFC 6762 5.1, 6.7): responders answer that by unicast at once, even a
// record they multicast less than a second ago and so would not repeat to
// the group. Port 5353 cannot take unicast answers: several sockets share
// it, and the kernel hands such a datagram to only one of them.
void AskOnce(_DNSServiceRef_t* op) {
  if (op->oneShot.fd() < 0) {
    if (op->oneShot.Open(op->endpoint, op->interfaceIndex, true) != 0) return;
    WatchOneShot(op);
  }
  MessageWriter w;
  AddQuestions(op, w);  // no known answers: responders refuse those in a one-shot query
  std::vector<uint8_t> datagram = w.Finish();
  op->oneShotId = NextQueryId();
  datagram[0] = static_cast<uint8_t>(op->oneShotId >> 8);
  datagram[1] = static_cast<uint8_t>(op->oneShotId);
  for (const JoinedInterface& j : op->oneShot.interfaces()) op->oneShot.SendOn(j.index, datagram);
}

}  // namespace

void Ask(_DNSServiceRef_t* op, int64_t nowMs) {
  if (op->asked++ == 0 && op->cache.entries().empty()) {
    AskOnce(op);
  } else {
    // Its answers come within milliseconds; by the next question the
    // one-shot socket has served (and a network of many devices does not
    // keep a descriptor per operation for nothing).
    op->oneShot.Close();
  }
  for (const JoinedInterface& j : op->socket.interfaces()) {
    // Known answers (RFC 6762 7.1): what we hold with more than half its life left.
    std::vector<const CacheEntry*> known;
    for (const CacheEntry& e : op->cache.entries()) {
      int64_t left = e.expiresMs - nowMs;
      if (e.interface == j.index && !e.provisional && left * 2 > static_cast<int64_t>(e.originalTtl) * 1000) {
        known.push_back(&e);
      }
    }
    // More than one datagram holds go on in further ones, each but the last
    // marked truncated (RFC 6762 7.2).
    size_t next = 0;
    bool first = true;
    while (first || next < known.size()) {
      MessageWriter w;
      if (first) AddQuestions(op, w);
      const size_t start = next;
      while (next < known.size()) {
        const CacheEntry& e = *known[next];
        const size_t dropped = w.Dropped();
        uint32_t ttl = static_cast<uint32_t>((e.expiresMs - nowMs) / 1000);
        if (e.record.type == kTypePtr) {
          w.AddPtr(Section::Answer, e.record.name, ttl, e.record.target);
        } else if (e.record.type == kTypeSrv) {
          w.AddSrv(Section::Answer, e.record.name, ttl, e.record.port, e.record.target);
        } else {
          w.AddRaw(Section::Answer, e.record.name, e.record.type, kClassIn, ttl, e.record.rdata);
        }
        if (w.Dropped() != dropped) break;
        ++next;
      }
      if (next == start && !first) ++next;  // one record too big for any datagram: leave it out
      std::vector<uint8_t> datagram = w.Finish();
      if (next < known.size()) datagram[2] |= 0x02;  // TC
      op->socket.SendOn(j.index, datagram);
      first = false;
    }
  }
}

void RunTimers(_DNSServiceRef_t* op, int64_t nowMs) {
  RecordCache::Changes changes;
  op->cache.Expire(nowMs, changes);
  if (!changes.removed.empty()) QueueReplies(op, changes);
  bool keepAsking = op->kind == OperationKind::Browse || !op->answered;
  if (keepAsking && nowMs >= op->nextQueryMs) {
    Ask(op, nowMs);
    op->nextQueryMs = nowMs + op->intervalMs;
    op->intervalMs = std::min(op->intervalMs * 2, kLongestInterval);
  }
}

int64_t NextDue(const _DNSServiceRef_t* op) {
  int64_t due = op->cache.NextExpiry();
  bool keepAsking = op->kind == OperationKind::Browse || !op->answered;
  if (keepAsking && (due < 0 || op->nextQueryMs < due)) due = op->nextQueryMs;
  return due;
}

namespace {

// Takes the records of a received message that `op` follows.
void Take(_DNSServiceRef_t* op, const Message& m, unsigned interface, bool provisional, int64_t nowMs) {
  if (op->interfaceIndex != 0 && interface != op->interfaceIndex) return;
  RecordCache::Changes changes;
  for (const Record& r : m.records) {
    if (Relevant(op, r)) op->cache.Store(r, interface, nowMs, changes, provisional);
  }
  op->cache.Expire(nowMs, changes);
  if (!changes.added.empty() || !changes.removed.empty()) QueueReplies(op, changes);
}

// What the process already knows that `op` follows, as if just heard.
void Seed(_DNSServiceRef_t* op, int64_t nowMs) {
  RecordCache::Changes changes;
  ProcessCache().Expire(nowMs, changes);
  changes = {};
  for (const CacheEntry& e : ProcessCache().entries()) {
    if (op->interfaceIndex != 0 && e.interface != op->interfaceIndex) continue;
    if (Relevant(op, e.record)) op->cache.Adopt(e, changes);
  }
  if (!changes.added.empty()) QueueReplies(op, changes);
}

}  // namespace

void HandleDatagram(_DNSServiceRef_t* op, const uint8_t* data, size_t size, unsigned interface, bool unicast,
                    int64_t nowMs) {
  Message m;
  if (!ParseMessage(data, size, m) || !m.IsResponse()) return;
  // A unicast answer is the answer to a one-shot query (legacy: short TTL).
  const bool provisional = unicast;
  RecordCache::Changes ignored;
  RecordCache& all = ProcessCache();
  for (const Record& r : m.records) {
    if (r.section != Section::Authority && r.klass == kClassIn) all.Store(r, interface, nowMs, ignored, provisional);
  }
  all.Expire(nowMs, ignored);
  Take(op, m, interface, provisional, nowMs);
  // Every operation hears the group on its own socket; a unicast answer
  // reached only this one.
  if (!unicast) return;
  for (_DNSServiceRef_t* other = LiveOperations(); other; other = other->nextLive) {
    if (other == op) continue;
    Take(other, m, interface, provisional, nowMs);
    if (!other->pending.empty()) Rearm(other);
  }
}

void Retire(_DNSServiceRef_t* op) {
  Unlink(op);
  CloseWait(op);
  op->oneShot.Close();
}

DNSServiceErrorType Start(_DNSServiceRef_t* op) {
  op->endpoint = DefaultEndpoint();
  int error = op->socket.Open(op->endpoint, op->interfaceIndex);
  if (error != 0) {
    return (error == ENODEV && op->interfaceIndex != 0) ? kDNSServiceErr_BadInterfaceIndex
                                                          : kDNSServiceErr_ServiceNotRunning;
  }
  if (OpenWait(op) != 0) {
    op->socket.Close();
    return kDNSServiceErr_Unknown;
  }
  Link(op);
  const int64_t now = NowMs();
  Seed(op, now);
  RunTimers(op, now);
  Rearm(op);
  return kDNSServiceErr_NoError;
}

}  // namespace mdns
