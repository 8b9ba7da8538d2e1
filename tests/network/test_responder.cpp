#include "tests/network/test_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "network/dnssd/dns_message.h"

namespace test_support {

using mdns::Name;
using mdns::Section;

Name TypeName(const TestService& s) {
  Name n;
  mdns::NameFromText(s.type + ".local", n);
  return n;
}

Name InstanceName(const TestService& s) {
  Name n = TypeName(s);
  n.insert(n.begin(), s.instance);
  return n;
}

Name HostName(const TestService& s) { return {s.host, "local"}; }

TestResponder::~TestResponder() {
  if (fd_ >= 0) close(fd_);
}

bool TestResponder::Open(const std::vector<unsigned>& interfaces) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
  setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
  unsigned char ttl = 255;
  setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  int all = 0;
  setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_ALL, &all, sizeof all);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(5353);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
  for (unsigned index : interfaces) {
    ip_mreqn join{};
    join.imr_multiaddr.s_addr = inet_addr("224.0.0.251");
    join.imr_ifindex = static_cast<int>(index);
    if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) return false;
  }
  return true;
}

void TestResponder::SendRaw(const std::vector<uint8_t>& datagram, unsigned interface) {
  ip_mreqn out{};
  out.imr_ifindex = static_cast<int>(interface);
  setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(5353);
  to.sin_addr.s_addr = inet_addr("224.0.0.251");
  sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void TestResponder::AddAll(mdns::MessageWriter& w, const TestService& s, uint32_t ttl, bool ptrAnswers) {
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

void TestResponder::Announce(unsigned interface) {
  for (const TestService& s : services_) Announce(s, interface);
}

void TestResponder::Announce(const TestService& s, unsigned interface, int64_t ttl) {
  mdns::MessageWriter w(mdns::kFlagResponse | 0x0400, 9000);
  AddAll(w, s, ttl < 0 ? s.ttl : static_cast<uint32_t>(ttl), true);
  SendRaw(w.Finish(), interface);
}

int TestResponder::Serve() {
  int read = 0;
  while (true) {
    uint8_t buffer[9000];
    sockaddr_in from{};
    iovec io{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr m{};
    m.msg_name = &from;
    m.msg_namelen = sizeof from;
    m.msg_iov = &io;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd_, &m, MSG_DONTWAIT);
    if (n < 0) return read;
    unsigned interface = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&m); c; c = CMSG_NXTHDR(&m, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        interface = static_cast<unsigned>(info.ipi_ifindex);
      }
    }
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
      for (const TestService& s : services_) {
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

}  // namespace test_support
