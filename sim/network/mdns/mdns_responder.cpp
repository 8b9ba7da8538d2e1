#include "sim/network/mdns/mdns_responder.h"

#include <arpa/inet.h>

#include <algorithm>

#include "network/dnssd/dns_message.h"
#include "platform/net/interfaces.h"

namespace sim {

using mdns::Name;
using mdns::Section;

Name TypeName(const AdvertisedService& s) {
  Name n;
  mdns::NameFromText(s.type + ".local", n);
  return n;
}

Name InstanceName(const AdvertisedService& s) {
  Name n = TypeName(s);
  n.insert(n.begin(), s.instance);
  return n;
}

Name HostName(const AdvertisedService& s) { return {s.host, "local"}; }

bool MdnsResponder::Open(const std::vector<unsigned>& interfaces) {
  mdns::Endpoint endpoint;
  endpoint.group = htonl(0xE00000FB);  // 224.0.0.251
  std::vector<platform::net::InterfaceInfo> all;
  platform::net::ListInterfaces(all);
  for (unsigned index : interfaces) {
    auto known = std::find_if(all.begin(), all.end(), [&](const auto& i) { return i.index == index; });
    if (known == all.end()) return false;
    endpoint.onlyInterfaces.push_back(known->name);
  }
  return socket_.Open(endpoint) == 0;
}

std::vector<unsigned> MdnsResponder::Interfaces() const {
  std::vector<unsigned> out;
  for (const mdns::JoinedInterface& j : socket_.interfaces()) out.push_back(j.index);
  return out;
}

void MdnsResponder::SendRaw(const std::vector<uint8_t>& datagram, unsigned interface) {
  socket_.SendOn(interface, datagram);
}

void MdnsResponder::AddAll(mdns::MessageWriter& w, const AdvertisedService& s, uint32_t ttl, bool ptrAnswers) {
  Section extra = ptrAnswers ? Section::Additional : Section::Answer;
  if (ptrAnswers) {
    w.AddPtr(Section::Answer, TypeName(s), ttl, InstanceName(s));
    for (const std::string& sub : s.subtypes) {
      Name subName = TypeName(s);
      subName.insert(subName.begin(), {sub, "_sub"});
      w.AddPtr(Section::Answer, subName, ttl, InstanceName(s));
    }
  }
  w.AddSrv(extra, InstanceName(s), ttl, s.port, HostName(s));
  w.AddTxt(extra, InstanceName(s), ttl, s.txt);
  if (s.address != 0) w.AddA(Section::Additional, HostName(s), ttl, s.address);
}

void MdnsResponder::Announce(unsigned interface) {
  for (const AdvertisedService& s : services_) Announce(s, interface);
}

void MdnsResponder::Announce(const AdvertisedService& s, unsigned interface, int64_t ttl) {
  mdns::MessageWriter w(mdns::kFlagResponse | 0x0400, 9000);
  AddAll(w, s, ttl < 0 ? s.ttl : static_cast<uint32_t>(ttl), true);
  SendRaw(w.Finish(), interface);
}

int MdnsResponder::Serve() {
  int read = 0;
  while (true) {
    uint8_t buffer[9000];
    unsigned interface = 0;
    uint32_t from = 0;
    long n = socket_.Receive(buffer, sizeof buffer, &interface, &from);
    if (n < 0) return read;
    mdns::Message msg;
    if (!mdns::ParseMessage(buffer, static_cast<size_t>(n), msg) || msg.IsResponse()) continue;
    ++read;
    // A truncated query goes on in the next datagram (more known answers).
    if (!msg.questions.empty()) ++queriesSeen;
    if (!continued_) lastKnownAnswers.clear();
    continued_ = (msg.flags & 0x0200) != 0;
    for (const mdns::Record& r : msg.records) {
      if (r.type == mdns::kTypePtr) lastKnownAnswers.push_back(mdns::NameToText(r.target));
    }
    if (!answerQueries) continue;
    mdns::MessageWriter w(mdns::kFlagResponse | 0x0400, 9000);
    for (const mdns::Question& q : msg.questions) {
      for (const AdvertisedService& s : services_) {
        bool typeMatch = mdns::NameEquals(q.name, TypeName(s));
        for (const std::string& sub : s.subtypes) {
          Name n = TypeName(s);
          n.insert(n.begin(), {sub, "_sub"});
          if (mdns::NameEquals(q.name, n)) {
            w.AddPtr(mdns::Section::Answer, n, s.ttl, InstanceName(s));
            typeMatch = false;
            w.AddSrv(Section::Additional, InstanceName(s), s.ttl, s.port, HostName(s));
            w.AddTxt(Section::Additional, InstanceName(s), s.ttl, s.txt);
          }
        }
        if (typeMatch && q.type == mdns::kTypePtr) {
          w.AddPtr(Section::Answer, TypeName(s), s.ttl, InstanceName(s));
        } else if (mdns::NameEquals(q.name, InstanceName(s))) {
          if (q.type == mdns::kTypeSrv) w.AddSrv(Section::Answer, InstanceName(s), s.ttl, s.port, HostName(s));
          if (q.type == mdns::kTypeTxt) w.AddTxt(Section::Answer, InstanceName(s), s.ttl, s.txt);
          if (s.address != 0) w.AddA(Section::Additional, HostName(s), s.ttl, s.address);
        } else if (mdns::NameEquals(q.name, HostName(s)) && q.type == mdns::kTypeA && s.address != 0) {
          w.AddA(Section::Answer, HostName(s), s.ttl, s.address);
        }
      }
    }
    std::vector<uint8_t> reply = w.Finish();
    if (reply.size() > 12) SendRaw(reply, interface);
  }
}

}  // namespace sim
