#include "sim/network/sim_dnssd.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <type_traits>

#include "network/dnssd/dns_sd.h"
#include "network/dnssd/txt_reader.h"
#include "network/dnssd_binding.h"
#include "platform/net/datagram_pair.h"
#include "platform/net/udp_socket.h"

namespace sim {
namespace {

SimDnsSd* theCurrent = nullptr;
int theLiveOperations = 0;

// One operation: its socket pair and the replies it has not delivered.
struct Operation {
  int fd = -1;      // the caller's end
  int signal = -1;  // holds one byte while replies wait
  std::deque<std::function<void(DNSServiceRef)>> replies;
  bool delivering = false;
  bool deallocated = false;
};

Operation* Op(DNSServiceRef ref) { return reinterpret_cast<Operation*>(ref); }
DNSServiceRef Ref(Operation* op) { return reinterpret_cast<DNSServiceRef>(op); }

bool Same(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// "_app._udp" without a trailing dot.
std::string Bare(std::string text) {
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

std::string Dotted(const std::string& text) { return text.empty() || text.back() == '.' ? text : text + "."; }

void Raise(Operation* op) {
  if (op->replies.size() == 1) platform::net::DatagramSend(op->signal, "r", 1);
}

DNSServiceErrorType Start(DNSServiceRef* ref, Operation*& out) {
  if (!ref || !SimDnsSd::Current()) return kDNSServiceErr_ServiceNotRunning;
  int ends[2];
  if (platform::net::DatagramPair(ends) < 0) return kDNSServiceErr_NoMemory;
  out = new Operation;
  out->fd = ends[0];
  out->signal = ends[1];
  ++theLiveOperations;
  *ref = Ref(out);
  return kDNSServiceErr_NoError;
}

void Free(Operation* op) {
  platform::net::UdpClose(op->fd);
  platform::net::UdpClose(op->signal);
  --theLiveOperations;
  delete op;
}

// The simulated cards offering `regtype` ("_app._udp[.][,subtype]").
std::vector<const CardAdvert*> Offering(const char* regtype) {
  std::vector<const CardAdvert*> out;
  if (!regtype || !SimDnsSd::Current()) return out;
  std::string type = regtype, subtype;
  if (size_t comma = type.find(','); comma != std::string::npos) {
    subtype = type.substr(comma + 1);
    type.resize(comma);
  }
  type = Bare(type);
  if (!subtype.empty() && subtype[0] != '_') subtype.insert(0, "_");
  if (!Same(type, kArcType) && !Same(type, kCmcType)) return out;
  if (!subtype.empty() && !Same(subtype, kMakerSubtype)) return out;
  for (const CardAdvert& card : SimDnsSd::Current()->Cards()) out.push_back(&card);
  return out;
}

int SimRefSockFD(DNSServiceRef ref) { return ref && !Op(ref)->deallocated ? Op(ref)->fd : -1; }

DNSServiceErrorType SimProcessResult(DNSServiceRef ref) {
  if (!ref || Op(ref)->deallocated) return kDNSServiceErr_BadReference;
  Operation* op = Op(ref);
  if (op->replies.empty()) return kDNSServiceErr_NoError;
  auto reply = std::move(op->replies.front());
  op->replies.pop_front();
  if (op->replies.empty()) {
    char byte;
    platform::net::DatagramReceive(op->fd, &byte, 1);
  }
  op->delivering = true;
  reply(ref);
  op->delivering = false;
  if (op->deallocated) Free(op);  // released from inside its own reply
  return kDNSServiceErr_NoError;
}

void SimRefDeallocate(DNSServiceRef ref) {
  if (!ref) return;
  Operation* op = Op(ref);
  op->replies.clear();
  if (op->delivering) {
    op->deallocated = true;
  } else {
    Free(op);
  }
}

DNSServiceErrorType SimBrowse(DNSServiceRef* ref, DNSServiceFlags, uint32_t, const char* regtype, const char*,
                              DNSServiceBrowseReply reply, void* context) {
  Operation* op = nullptr;
  if (!reply) return kDNSServiceErr_BadParam;
  if (DNSServiceErrorType e = Start(ref, op)) return e;
  std::string type = regtype;
  type = Dotted(Bare(type.substr(0, type.find(','))));
  std::vector<const CardAdvert*> cards = Offering(regtype);
  for (size_t i = 0; i < cards.size(); ++i) {
    const DNSServiceFlags more = i + 1 < cards.size() ? kDNSServiceFlagsMoreComing : 0;
    std::string name = cards[i]->name;
    op->replies.push_back([=](DNSServiceRef r) {
      reply(r, kDNSServiceFlagsAdd | more, kSimInterface, kDNSServiceErr_NoError, name.c_str(), type.c_str(), "local.",
            context);
    });
    Raise(op);
  }
  return kDNSServiceErr_NoError;
}

DNSServiceErrorType SimResolve(DNSServiceRef* ref, DNSServiceFlags, uint32_t, const char* name, const char* regtype,
                               const char*, DNSServiceResolveReply reply, void* context) {
  Operation* op = nullptr;
  if (!reply || !name) return kDNSServiceErr_BadParam;
  if (DNSServiceErrorType e = Start(ref, op)) return e;
  const bool arc = Same(Bare(regtype ? regtype : ""), kArcType);
  for (const CardAdvert* card : Offering(regtype)) {
    if (!Same(card->name, name)) continue;
    const std::string full = card->name + "." + Dotted(Bare(regtype)) + "local.";
    const std::string host = card->host + ".local.";
    const uint16_t port = arc ? card->arcPort : card->cmcPort;
    const std::vector<uint8_t> txt = TxtRecord(arc ? ArcTxtItems(*card) : CmcTxtItems(*card));
    op->replies.push_back([=](DNSServiceRef r) {
      reply(r, 0, kSimInterface, kDNSServiceErr_NoError, full.c_str(), host.c_str(),
            static_cast<uint16_t>(port >> 8 | port << 8), static_cast<uint16_t>(txt.size()), txt.data(), context);
    });
    Raise(op);
  }
  return kDNSServiceErr_NoError;
}

DNSServiceErrorType SimQueryRecord(DNSServiceRef* ref, DNSServiceFlags, uint32_t, const char* fullname,
                                   uint16_t rrtype, uint16_t rrclass, DNSServiceQueryRecordReply reply,
                                   void* context) {
  Operation* op = nullptr;
  if (!reply || !fullname) return kDNSServiceErr_BadParam;
  if (DNSServiceErrorType e = Start(ref, op)) return e;
  if (rrtype != kDNSServiceType_A || rrclass != kDNSServiceClass_IN) return kDNSServiceErr_NoError;
  for (const CardAdvert& card : SimDnsSd::Current()->Cards()) {
    if (!Same(Dotted(fullname), card.host + ".local.")) continue;
    const uint8_t address[4] = {static_cast<uint8_t>(card.address >> 24), static_cast<uint8_t>(card.address >> 16),
                                static_cast<uint8_t>(card.address >> 8), static_cast<uint8_t>(card.address)};
    const std::string name = Dotted(fullname);
    op->replies.push_back([=](DNSServiceRef r) {
      reply(r, kDNSServiceFlagsAdd, kSimInterface, kDNSServiceErr_NoError, name.c_str(), rrtype, rrclass, 4, address,
            120, context);
    });
    Raise(op);
  }
  return kDNSServiceErr_NoError;
}

DNSServiceErrorType SimReconfirmRecord(DNSServiceFlags, uint32_t, const char*, uint16_t, uint16_t, uint16_t,
                                       const void*) {
  return kDNSServiceErr_NoError;
}

// Operations share no connection here.
DNSServiceErrorType SimCreateConnection(DNSServiceRef*) { return kDNSServiceErr_Unsupported; }

DNSServiceErrorType SimConstructFullName(char* fullName, const char* service, const char* regtype,
                                         const char* domain) {
  if (!fullName || !regtype || !domain) return kDNSServiceErr_BadParam;
  std::string full = (service ? std::string(service) + "." : "") + Dotted(regtype) + Dotted(domain);
  if (full.size() >= kDNSServiceMaxDomainName) return kDNSServiceErr_BadParam;
  std::memcpy(fullName, full.c_str(), full.size() + 1);
  return kDNSServiceErr_NoError;
}

int SimTXTContainsKey(uint16_t txtLen, const void* txtRecord, const char* key) {
  return mdns::TxtContainsKey(txtLen, txtRecord, key);
}

const void* SimTXTGetValuePtr(uint16_t txtLen, const void* txtRecord, const char* key, uint8_t* valueLen) {
  return mdns::TxtValue(txtLen, txtRecord, key, valueLen);
}

// Each function with the exact type the binding expects.
struct Entry {
  const char* name;
  void* function;
};

template <class Api, class Ours>
void* Checked(Ours* ours) {
  static_assert(std::is_same_v<Api, Ours>, "the in-process function must match the API");
  return reinterpret_cast<void*>(ours);
}

const Entry kFunctions[] = {
    {"DNSServiceBrowse", Checked<decltype(DNSServiceBrowse)>(SimBrowse)},
    {"DNSServiceConstructFullName", Checked<decltype(DNSServiceConstructFullName)>(SimConstructFullName)},
    {"DNSServiceCreateConnection", Checked<decltype(DNSServiceCreateConnection)>(SimCreateConnection)},
    {"DNSServiceProcessResult", Checked<decltype(DNSServiceProcessResult)>(SimProcessResult)},
    {"DNSServiceQueryRecord", Checked<decltype(DNSServiceQueryRecord)>(SimQueryRecord)},
    {"DNSServiceReconfirmRecord", Checked<decltype(DNSServiceReconfirmRecord)>(SimReconfirmRecord)},
    {"DNSServiceRefDeallocate", Checked<decltype(DNSServiceRefDeallocate)>(SimRefDeallocate)},
    {"DNSServiceRefSockFD", Checked<decltype(DNSServiceRefSockFD)>(SimRefSockFD)},
    {"DNSServiceResolve", Checked<decltype(DNSServiceResolve)>(SimResolve)},
    {"TXTRecordContainsKey", Checked<decltype(TXTRecordContainsKey)>(SimTXTContainsKey)},
    {"TXTRecordGetValuePtr", Checked<decltype(TXTRecordGetValuePtr)>(SimTXTGetValuePtr)},
};

// The handle Load gives for the in-process library: any distinct address.
char theLibraryToken;

}  // namespace

SimDnsSd::SimDnsSd() : previous_(theCurrent) { theCurrent = this; }

SimDnsSd::~SimDnsSd() { theCurrent = previous_; }

SimDnsSd* SimDnsSd::Current() { return theCurrent; }

int SimDnsSd::LiveOperations() { return theLiveOperations; }

void* SimDnsSd::Function(const char* symbol) {
  for (const Entry& e : kFunctions) {
    if (symbol && std::strcmp(symbol, e.name) == 0) return e.function;
  }
  return nullptr;
}

platform::LibraryHandle SimDnsSdLibraries::Load(const std::string& name) {
  if (name == DnsSdLibraryPath()) return &theLibraryToken;
  return real_.Load(name);
}

void* SimDnsSdLibraries::Symbol(platform::LibraryHandle library, const char* symbol) {
  if (library != &theLibraryToken) return real_.Symbol(library, symbol);
  void* f = SimDnsSd::Function(symbol);
  lastError_ = f ? "" : std::string("no function ") + (symbol ? symbol : "(null)") + " in the simulated library";
  return f;
}

void SimDnsSdLibraries::Unload(platform::LibraryHandle library) {
  if (library != &theLibraryToken) real_.Unload(library);
}

std::string SimDnsSdLibraries::LastError() { return lastError_.empty() ? real_.LastError() : lastError_; }

}  // namespace sim
