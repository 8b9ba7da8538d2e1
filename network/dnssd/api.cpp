// The exported DNS-SD functions over the operations.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "network/dnssd/dns_sd.h"
#include "network/dnssd/operation.h"

using mdns::Name;

namespace {

// "_app._udp" (a trailing dot allowed) with an optional ",subtype".
bool ParseServiceType(const char* regtype, Name& type, std::string& subtype) {
  if (!regtype) return false;
  std::string_view text(regtype);
  size_t comma = text.find(',');
  if (comma != std::string_view::npos) {
    subtype = std::string(text.substr(comma + 1));
    size_t more = subtype.find(',');
    if (more != std::string::npos) subtype.resize(more);  // one subtype is enough to ask for
    text = text.substr(0, comma);
  }
  if (!mdns::NameFromText(text, type) || type.size() != 2 || type[0].size() < 2 || type[0][0] != '_') return false;
  return mdns::LabelEquals(type[1], "_udp") || mdns::LabelEquals(type[1], "_tcp");
}

// Only the link-local domain is ours to ask.
bool ParseDomain(const char* domain, Name& out) {
  if (!domain || !*domain) {
    out = {"local"};
    return true;
  }
  return mdns::NameFromText(domain, out) && out.size() == 1 && mdns::LabelEquals(out[0], "local");
}

DNSServiceErrorType Begin(DNSServiceRef* sdRef, _DNSServiceRef_t* op) {
  DNSServiceErrorType error = mdns::Start(op);
  if (error != kDNSServiceErr_NoError) {
    delete op;
    return error;
  }
  *sdRef = op;
  return kDNSServiceErr_NoError;
}

enum class Read { Taken, Nothing, Failed };

// Reads one datagram from the operation's group socket or, failing that,
// its one-shot socket. Unicast answers count only from port 5353 of a
// sender on the link, and on the one-shot socket only with our query's id.
Read ReadOne(_DNSServiceRef_t* op, uint8_t* buffer, size_t size) {
  unsigned interface = 0;
  uint32_t from = 0;
  uint16_t port = 0;
  bool toGroup = false;
  long n = op->socket.Receive(buffer, size, &interface, &from, &port, &toGroup);
  if (n >= 0) {
    if (toGroup || (port == 5353 && op->socket.OnLink(from))) {
      mdns::HandleDatagram(op, buffer, static_cast<size_t>(n), interface, !toGroup, mdns::NowMs());
    }
    return Read::Taken;
  }
  if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return Read::Failed;
  if (op->oneShot.fd() < 0) return Read::Nothing;
  n = op->oneShot.Receive(buffer, size, &interface, &from, &port, &toGroup);
  if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? Read::Nothing : Read::Failed;
  const bool ours =
      n >= 12 && port == 5353 && (buffer[0] << 8 | buffer[1]) == op->oneShotId && op->oneShot.OnLink(from);
  if (ours) mdns::HandleDatagram(op, buffer, static_cast<size_t>(n), interface, true, mdns::NowMs());
  return Read::Taken;
}

void Deliver(_DNSServiceRef_t* op) {
  ++op->callbackDepth;
  while (!op->pending.empty() && !op->deallocated) {
    auto reply = std::move(op->pending.front());
    op->pending.pop_front();
    reply(op->pending.empty() ? 0 : kDNSServiceFlagsMoreComing);
  }
  --op->callbackDepth;
}

}  // namespace

extern "C" {

int DNSServiceRefSockFD(DNSServiceRef sdRef) {
  return (sdRef && !sdRef->deallocated) ? mdns::WaitDescriptor(sdRef) : -1;
}

DNSServiceErrorType DNSServiceProcessResult(DNSServiceRef sdRef) {
  if (!sdRef || sdRef->deallocated || sdRef->kind == mdns::OperationKind::Connection) return kDNSServiceErr_BadParam;
  _DNSServiceRef_t* op = sdRef;
  int64_t now = mdns::NowMs();
  bool fired = mdns::TakeWake(op);
  mdns::RunTimers(op, now);
  static uint8_t buffer[9000];  // RFC 6762 17: the largest multicast DNS message
  while (op->pending.empty()) {
    switch (ReadOne(op, buffer, sizeof buffer)) {
      case Read::Taken:
        break;
      case Read::Failed:
        return kDNSServiceErr_Unknown;
      case Read::Nothing: {
        // The work that woke the caller is done: no wait.
        if (fired) break;
        // Nothing to read: wait for a datagram or the next thing due, as a
        // blocking call does.
        int64_t due = mdns::NextDue(op);
        int timeout = due < 0 ? -1 : static_cast<int>(std::max<int64_t>(0, due - now));
        if (!mdns::WaitForWork(op, timeout)) return kDNSServiceErr_Unknown;
        now = mdns::NowMs();
        fired = mdns::TakeWake(op);
        mdns::RunTimers(op, now);
        continue;
      }
    }
    break;
  }
  Deliver(op);
  if (op->deallocated) {
    if (op->callbackDepth == 0) delete op;
  } else {
    mdns::Rearm(op);
  }
  return kDNSServiceErr_NoError;
}

void DNSServiceRefDeallocate(DNSServiceRef sdRef) {
  if (!sdRef || sdRef->deallocated) return;
  mdns::Retire(sdRef);
  if (sdRef->callbackDepth > 0) {
    // Released from inside its own reply: DNSServiceProcessResult frees it.
    sdRef->deallocated = true;
    sdRef->socket.Close();
    sdRef->pending.clear();
    return;
  }
  delete sdRef;
}

namespace {

// A browse or resolve operation for `regtype` in `domain`, with its common
// fields set; null with `*error` set when the type or domain is malformed
// or memory is short. `subtype` receives the part after a ",".
_DNSServiceRef_t* NewServiceOperation(mdns::OperationKind kind, uint16_t questionType, DNSServiceFlags flags,
                                      uint32_t interfaceIndex, const char* regtype, const char* domain, void* context,
                                      std::string& subtype, DNSServiceErrorType* error) {
  auto* op = new (std::nothrow) _DNSServiceRef_t;
  *error = kDNSServiceErr_NoMemory;
  if (!op) return nullptr;
  if (!ParseServiceType(regtype, op->serviceType, subtype) || !ParseDomain(domain, op->domain)) {
    delete op;
    *error = kDNSServiceErr_BadParam;
    return nullptr;
  }
  op->kind = kind;
  op->questionType = questionType;
  op->flags = flags;
  op->interfaceIndex = interfaceIndex;
  op->context = context;
  return op;
}

// Appends the service type and the domain to the operation's question.
void AppendServiceAndDomain(_DNSServiceRef_t* op) {
  op->question.insert(op->question.end(), op->serviceType.begin(), op->serviceType.end());
  op->question.insert(op->question.end(), op->domain.begin(), op->domain.end());
}

}  // namespace

DNSServiceErrorType DNSServiceBrowse(DNSServiceRef* sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                     const char* regtype, const char* domain, DNSServiceBrowseReply callBack,
                                     void* context) {
  if (!sdRef || !callBack) return kDNSServiceErr_BadParam;
  std::string subtype;
  DNSServiceErrorType error;
  auto* op = NewServiceOperation(mdns::OperationKind::Browse, mdns::kTypePtr, flags, interfaceIndex, regtype, domain,
                                 context, subtype, &error);
  if (!op) return error;
  op->browseReply = callBack;
  if (!subtype.empty()) {
    // "_app._udp,Sub" asks for "Sub._sub._app._udp.local", the label as
    // given, and also for "_Sub._sub..." (the form RFC 6763 recommends):
    // a peer may use either.
    op->question = {subtype, "_sub"};
    if (subtype[0] != '_' && subtype.size() < mdns::kMaxLabelLength) {
      op->alsoAsked = {"_" + subtype, "_sub"};
      op->alsoAsked.insert(op->alsoAsked.end(), op->serviceType.begin(), op->serviceType.end());
      op->alsoAsked.insert(op->alsoAsked.end(), op->domain.begin(), op->domain.end());
    }
  }
  AppendServiceAndDomain(op);
  if (op->question[0].size() > mdns::kMaxLabelLength || mdns::NameWireLength(op->question) > mdns::kMaxNameWireLength) {
    delete op;
    return kDNSServiceErr_BadParam;
  }
  return Begin(sdRef, op);
}

DNSServiceErrorType DNSServiceResolve(DNSServiceRef* sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                      const char* name, const char* regtype, const char* domain,
                                      DNSServiceResolveReply callBack, void* context) {
  if (!sdRef || !callBack || !name || !*name || std::strlen(name) > mdns::kMaxLabelLength) {
    return kDNSServiceErr_BadParam;
  }
  std::string subtype;
  DNSServiceErrorType error;
  auto* op = NewServiceOperation(mdns::OperationKind::Resolve, mdns::kTypeSrv, flags, interfaceIndex, regtype,
                                 domain, context, subtype, &error);
  if (!op) return error;
  op->resolveReply = callBack;
  op->question.push_back(name);
  AppendServiceAndDomain(op);
  return Begin(sdRef, op);
}

DNSServiceErrorType DNSServiceQueryRecord(DNSServiceRef* sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                          const char* fullname, uint16_t rrtype, uint16_t rrclass,
                                          DNSServiceQueryRecordReply callBack, void* context) {
  if (!sdRef || !callBack || !fullname) return kDNSServiceErr_BadParam;
  if (rrclass != kDNSServiceClass_IN) return kDNSServiceErr_Unsupported;
  auto* op = new (std::nothrow) _DNSServiceRef_t;
  if (!op) return kDNSServiceErr_NoMemory;
  if (!mdns::NameFromText(fullname, op->question) || op->question.empty()) {
    delete op;
    return kDNSServiceErr_BadParam;
  }
  op->kind = mdns::OperationKind::Query;
  op->flags = flags;
  op->interfaceIndex = interfaceIndex;
  op->queryReply = callBack;
  op->context = context;
  op->questionType = rrtype;
  return Begin(sdRef, op);
}

DNSServiceErrorType DNSServiceReconfirmRecord(DNSServiceFlags, uint32_t interfaceIndex, const char* fullname,
                                              uint16_t rrtype, uint16_t, uint16_t, const void*) {
  Name name;
  if (!fullname || !mdns::NameFromText(fullname, name)) return kDNSServiceErr_BadParam;
  int64_t now = mdns::NowMs();
  mdns::RecordCache::Changes forgotten;
  mdns::ProcessCache().Drop(name, rrtype, interfaceIndex, forgotten);
  for (_DNSServiceRef_t* op = mdns::LiveOperations(); op; op = op->nextLive) {
    mdns::RecordCache::Changes changes;
    op->cache.Drop(name, rrtype, interfaceIndex, changes);
    if (changes.removed.empty()) continue;
    mdns::QueueReplies(op, changes);
    // Ask again at once; the caller is woken to collect the replies just queued.
    op->intervalMs = mdns::kFirstInterval;
    mdns::Ask(op, now);
    op->nextQueryMs = now + op->intervalMs;
    mdns::Rearm(op);
  }
  return kDNSServiceErr_NoError;
}

DNSServiceErrorType DNSServiceCreateConnection(DNSServiceRef* sdRef) {
  // Shared connections need a daemon to share; every operation here has
  // its own sockets instead (and all share one record cache).
  if (sdRef) *sdRef = nullptr;
  return kDNSServiceErr_Unsupported;
}

DNSServiceErrorType DNSServiceConstructFullName(char* fullName, const char* service, const char* regtype,
                                                const char* domain) {
  if (!fullName || !regtype || !domain) return kDNSServiceErr_BadParam;
  Name type, dom;
  std::string subtype;
  if (!mdns::NameFromText(regtype, type) || !mdns::NameFromText(domain, dom)) return kDNSServiceErr_BadParam;
  std::string text;
  if (service) {
    if (std::strlen(service) > mdns::kMaxLabelLength) return kDNSServiceErr_BadParam;
    text = mdns::EscapeLabel(service) + ".";
  }
  text += mdns::NameToText(type) + mdns::NameToText(dom);
  if (text.size() >= kDNSServiceMaxDomainName) return kDNSServiceErr_BadParam;
  std::memcpy(fullName, text.c_str(), text.size() + 1);
  return kDNSServiceErr_NoError;
}

}  // extern "C"
