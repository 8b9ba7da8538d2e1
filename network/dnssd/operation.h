#pragma once
// One DNS-SD operation (browse, resolve or record query) and what it needs
// to run without a daemon: its own multicast socket, the records it follows,
// the time of its next question, and the replies waiting for the caller.
//
// What the caller waits on (the operation's wait, one file per system:
// operation_wait_linux.cpp, operation_wait_win32.cpp) becomes readable when
// a datagram arrives, when a question or an expiry is due, and when replies
// wait.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "network/dnssd/dns_sd.h"
#include "network/dnssd/mdns_socket.h"
#include "network/dnssd/record_cache.h"

namespace mdns {

enum class OperationKind { Connection, Browse, Resolve, Query };

// Milliseconds on the monotonic clock.
int64_t NowMs();

// The operation's wait: its descriptor and what makes it ready.
struct OperationWait;
struct OperationWaitDeleter {
  void operator()(OperationWait* wait) const;
};

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

  mdns::MdnsSocket socket;   // port 5353, joined to the group
  mdns::MdnsSocket oneShot;  // an ephemeral port: answers come back by unicast
  uint16_t oneShotId = 0;    // the query id those answers must carry
  std::unique_ptr<mdns::OperationWait, mdns::OperationWaitDeleter> wait;  // what the caller waits on
  mdns::Endpoint endpoint;
  // The records this operation follows, copied from the process's cache
  // when it starts and kept up to date from every datagram after that.
  mdns::RecordCache cache;

  // What is asked: the PTR name of a browse, the instance of a resolve, the
  // record name of a query. A browse of a subtype given without its leading
  // underscore also asks for the underscored form (`alsoAsked`).
  mdns::Name question;
  mdns::Name alsoAsked;
  uint16_t questionType = 0;
  mdns::Name serviceType;  // browse and resolve: "_app._udp"
  mdns::Name domain;       // "local"

  // When to ask next, and the interval after that.
  int64_t nextQueryMs = 0;
  int64_t intervalMs = mdns::kFirstInterval;
  // Resolve and query: answered, so no more questions until it goes stale.
  bool answered = false;
  // Questions sent so far (the first of a cold operation also goes out
  // as a one-shot query).
  int asked = 0;

  // Resolve: what was last reported per interface ("host|port|txt").
  // Browse: the instances reported present, per interface.
  std::vector<std::pair<unsigned, std::string>> reported;

  // Replies ready for the caller, delivered by DNSServiceProcessResult.
  // Each is called with kDNSServiceFlagsMoreComing while more follow.
  std::deque<std::function<void(DNSServiceFlags)>> pending;

  int callbackDepth = 0;
  bool deallocated = false;  // released from inside its own reply
  _DNSServiceRef_t* nextLive = nullptr;
};

namespace mdns {

// Every live operation: a unicast answer one of them receives is shared
// with the others, and DNSServiceReconfirmRecord reaches them all.
_DNSServiceRef_t*& LiveOperations();
void Link(_DNSServiceRef_t* op);
void Unlink(_DNSServiceRef_t* op);

// Every record any operation of this process has heard, still alive: what
// a new operation starts from, so a resolve after a browse needs no second
// question (a responder does not repeat a record within a second).
RecordCache& ProcessCache();

// Starts an operation whose question fields are set: opens its sockets,
// takes what the process cache knows and asks the first time unless that
// answered it. Returns a DNS-SD error code.
DNSServiceErrorType Start(_DNSServiceRef_t* op);
// Sends the question now (with known answers) on every interface.
void Ask(_DNSServiceRef_t* op, int64_t nowMs);
// Questions and expiries due by now.
void RunTimers(_DNSServiceRef_t* op, int64_t nowMs);
// Takes in one received datagram; `unicast` when it was sent to this host
// rather than to the group.
void HandleDatagram(_DNSServiceRef_t* op, const uint8_t* data, size_t size, unsigned interface, bool unicast,
                    int64_t nowMs);
// Turns cache changes into replies on the pending queue.
void QueueReplies(_DNSServiceRef_t* op, const RecordCache::Changes& changes);
// The earliest time something is due, or -1.
int64_t NextDue(const _DNSServiceRef_t* op);
// Makes the operation's wait over its open group socket; 0 or an error
// code of the system.
int OpenWait(_DNSServiceRef_t* op);
// Adds the one-shot socket, opened later, to what the caller waits on.
void WatchOneShot(_DNSServiceRef_t* op);
void CloseWait(_DNSServiceRef_t* op);
// The descriptor DNSServiceRefSockFD gives, or -1.
int WaitDescriptor(const _DNSServiceRef_t* op);
// Makes the descriptor ready when the next thing is due (at once while
// replies wait).
void Rearm(_DNSServiceRef_t* op);
// True (once) when the descriptor was made ready by something due or by
// waiting replies since the last call, rather than only by a datagram: the
// caller was woken for work, so DNSServiceProcessResult must not block.
bool TakeWake(_DNSServiceRef_t* op);
// Blocks until a datagram arrives or something is due, at most `timeoutMs`
// (negative: no limit); false when the wait itself failed.
bool WaitForWork(_DNSServiceRef_t* op, int timeoutMs);
// Ends an operation's life: off the live list, sockets and timer closed.
void Retire(_DNSServiceRef_t* op);

}  // namespace mdns
