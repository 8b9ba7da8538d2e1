#pragma once
// One DNS-SD operation (browse, resolve or record query) and what it needs
// to run without a daemon: its own socket, the records it heard, the time
// of its next question, and the replies waiting for the caller.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "network/dnssd/dns_sd.h"
#include "network/dnssd/mdns_socket.h"
#include "network/dnssd/record_cache.h"

namespace mdns {

enum class OperationKind { Connection, Browse, Resolve, Query };

// Milliseconds on the monotonic clock.
int64_t NowMs();

inline constexpr int64_t kFirstInterval = 1000;         // RFC 6762 5.2: 1 s, then doubling
inline constexpr int64_t kLongestInterval = 3600 * 1000;  // ... up to an hour

}  // namespace mdns

struct _DNSServiceRef_t {
  mdns::OperationKind kind = mdns::OperationKind::Connection;
  DNSServiceFlags flags = 0;
  uint32_t interfaceIndex = 0;  // 0: every interface
  void* context = nullptr;
  DNSServiceBrowseReply browseReply = nullptr;
  DNSServiceResolveReply resolveReply = nullptr;
  DNSServiceQueryRecordReply queryReply = nullptr;

  mdns::MdnsSocket socket;
  mdns::Endpoint endpoint;
  mdns::RecordCache cache;

  // What is asked: the PTR name of a browse, the instance of a resolve, the
  // record name of a query.
  mdns::Name question;
  uint16_t questionType = 0;
  mdns::Name serviceType;  // browse and resolve: "_app._udp"
  mdns::Name domain;       // "local"

  // When to ask next, and the interval after that.
  int64_t nextQueryMs = 0;
  int64_t intervalMs = mdns::kFirstInterval;
  // Resolve and query: answered, so no more questions until it goes stale.
  bool answered = false;

  // Resolve: what was last reported per interface ("host|port|txt").
  std::vector<std::pair<unsigned, std::string>> reported;

  // Replies ready for the caller, delivered by DNSServiceProcessResult.
  // Each is called with kDNSServiceFlagsMoreComing while more follow.
  std::deque<std::function<void(DNSServiceFlags)>> pending;

  int callbackDepth = 0;
  bool deallocated = false;  // released from inside its own reply
  _DNSServiceRef_t* nextLive = nullptr;
};

namespace mdns {

// Every live operation, for DNSServiceReconfirmRecord.
_DNSServiceRef_t*& LiveOperations();
void Link(_DNSServiceRef_t* op);
void Unlink(_DNSServiceRef_t* op);

// Starts an operation whose question fields are set: opens its socket and
// asks the first time. Returns a DNS-SD error code.
DNSServiceErrorType Start(_DNSServiceRef_t* op);
// Sends the question now (with known answers) on every interface.
void Ask(_DNSServiceRef_t* op, int64_t nowMs);
// Questions and expiries due by now.
void RunTimers(_DNSServiceRef_t* op, int64_t nowMs);
// Takes in one received datagram.
void HandleDatagram(_DNSServiceRef_t* op, const uint8_t* data, size_t size, unsigned interface, int64_t nowMs);
// Turns cache changes into replies on the pending queue.
void QueueReplies(_DNSServiceRef_t* op, const RecordCache::Changes& changes);
// The earliest time something is due, or -1.
int64_t NextDue(const _DNSServiceRef_t* op);
// Asks the waker to make the socket readable when that time comes.
void Rearm(_DNSServiceRef_t* op);
// Ends an operation's life: off the live list, no more wake-ups.
void Retire(_DNSServiceRef_t* op);

}  // namespace mdns
