#include "sim/network/mdns/mdns_responder.h"

#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>

#include "network/dnssd/record_cache.h"
#include "platform/net/interfaces.h"

namespace sim {

using mdns::Name;
using mdns::Section;

namespace {

constexpr uint16_t kMdnsPort = 5353;
constexpr uint32_t kLegacyTtl = 10;  // RFC 6762 6.7: the most a one-shot answer may give
constexpr uint16_t kAuthoritativeResponse = mdns::kFlagResponse | 0x0400;

template <class T>
void PushOnce(std::vector<T>& list, const T& item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

}  // namespace

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

MdnsResponder::~MdnsResponder() {
  if (wait_ >= 0) close(wait_);
  if (timer_ >= 0) close(timer_);
}

bool MdnsResponder::Open(const std::vector<unsigned>& interfaces) {
  mdns::Endpoint endpoint = mdns::DefaultEndpoint();
  std::vector<platform::net::InterfaceInfo> all;
  platform::net::ListInterfaces(all);
  for (unsigned index : interfaces) {
    auto known = std::find_if(all.begin(), all.end(), [&](const auto& i) { return i.index == index; });
    if (known == all.end()) return false;
    endpoint.onlyInterfaces.push_back(known->name);
  }
  if (socket_.Open(endpoint) != 0) return false;
  timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  wait_ = epoll_create1(EPOLL_CLOEXEC);
  if (timer_ < 0 || wait_ < 0) return false;
  for (int fd : {socket_.fd(), timer_}) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.fd = fd;
    if (epoll_ctl(wait_, EPOLL_CTL_ADD, fd, &e) != 0) return false;
  }
  return true;
}

std::vector<unsigned> MdnsResponder::Interfaces() const {
  std::vector<unsigned> out;
  for (const mdns::JoinedInterface& j : socket_.interfaces()) out.push_back(j.index);
  return out;
}

void MdnsResponder::SendRaw(const std::vector<uint8_t>& datagram, unsigned interface) {
  socket_.SendOn(interface, datagram);
}

mdns::Record MdnsResponder::ItemRecord(const Item& item, const AdvertisedService& s, uint32_t ttl) const {
  mdns::Record r;
  r.klass = mdns::kClassIn;
  r.ttl = ttl;
  switch (item.kind) {
    case Kind::Ptr:
      r.type = mdns::kTypePtr;
      r.name = item.name;
      r.target = InstanceName(s);
      mdns::AppendName(r.rdata, r.target);
      break;
    case Kind::Srv:
      r.type = mdns::kTypeSrv;
      r.name = InstanceName(s);
      r.port = s.port;
      r.target = HostName(s);
      r.rdata = {0, 0, 0, 0, static_cast<uint8_t>(s.port >> 8), static_cast<uint8_t>(s.port)};
      mdns::AppendName(r.rdata, r.target);
      break;
    case Kind::Txt:
      r.type = mdns::kTypeTxt;
      r.name = InstanceName(s);
      r.rdata = s.txt;
      break;
    case Kind::A: {
      r.type = mdns::kTypeA;
      r.name = HostName(s);
      const auto* b = reinterpret_cast<const uint8_t*>(&s.address);
      r.rdata.assign(b, b + 4);
      break;
    }
  }
  return r;
}

void MdnsResponder::Write(mdns::MessageWriter& w, Section section, const Item& item, const AdvertisedService& s,
                          bool legacy) const {
  const uint32_t ttl = s.ttl;
  mdns::Record r = ItemRecord(item, s, ttl);
  // Only the service's own records are unique; a one-shot answer never
  // sets the cache-flush bit.
  const bool unique = item.kind != Kind::Ptr && !legacy;
  w.AddRaw(section, r.name, r.type, static_cast<uint16_t>(mdns::kClassIn | (unique ? mdns::kCacheFlushBit : 0)),
           legacy ? std::min(ttl, kLegacyTtl) : ttl, r.rdata);
}

std::string MdnsResponder::Key(const Item& item, const AdvertisedService& s) const {
  mdns::Record r = ItemRecord(item, s, 0);
  return std::to_string(r.type) + "|" + mdns::NameToText(r.name) + "|" + std::string(r.rdata.begin(), r.rdata.end());
}

void MdnsResponder::Announce(unsigned interface) {
  for (const AdvertisedService& s : services_) Announce(s, interface);
}

void MdnsResponder::Announce(const AdvertisedService& service, unsigned interface, int64_t ttl) {
  AdvertisedService s = service;  // as advertised, whether or not it is (still) in the list
  if (ttl >= 0) s.ttl = static_cast<uint32_t>(ttl);
  std::vector<Item> answers{{Kind::Ptr, 0, TypeName(s)}};
  for (const std::string& sub : s.subtypes) {
    Name n = TypeName(s);
    n.insert(n.begin(), {sub, "_sub"});
    answers.push_back({Kind::Ptr, 0, n});
  }
  std::vector<Item> additional{{Kind::Srv, 0, {}}, {Kind::Txt, 0, {}}};
  if (s.address != 0) additional.push_back({Kind::A, 0, {}});
  mdns::MessageWriter w(kAuthoritativeResponse, 9000);
  for (const Item& i : answers) Write(w, Section::Answer, i, s, false);
  for (const Item& i : additional) Write(w, Section::Additional, i, s, false);
  SendRaw(w.Finish(), interface);
  const auto now = Clock::now();
  for (const std::vector<Item>* list : {&answers, &additional}) {
    for (const Item& i : *list) {
      if (s.ttl == 0) {
        lastMulticast_.erase({Key(i, s), interface});
      } else {
        lastMulticast_[{Key(i, s), interface}] = now;
      }
    }
  }
}

void MdnsResponder::Questions(const mdns::Message& msg, std::vector<Item>& answers, std::vector<Item>& additional,
                              bool* shared) const {
  auto asks = [](const mdns::Question& q, uint16_t type) { return q.type == type || q.type == mdns::kTypeAny; };
  for (const mdns::Question& q : msg.questions) {
    for (size_t i = 0; i < services_.size(); ++i) {
      const AdvertisedService& s = services_[i];
      std::vector<Name> pointers{TypeName(s)};
      for (const std::string& sub : s.subtypes) {
        pointers.push_back(TypeName(s));
        pointers.back().insert(pointers.back().begin(), {sub, "_sub"});
      }
      for (const Name& p : pointers) {
        if (!asks(q, mdns::kTypePtr) || !mdns::NameEquals(q.name, p)) continue;
        PushOnce(answers, Item{Kind::Ptr, i, p});
        PushOnce(additional, Item{Kind::Srv, i, {}});
        PushOnce(additional, Item{Kind::Txt, i, {}});
        if (s.address != 0) PushOnce(additional, Item{Kind::A, i, {}});
      }
      if (mdns::NameEquals(q.name, InstanceName(s))) {
        if (asks(q, mdns::kTypeSrv)) PushOnce(answers, Item{Kind::Srv, i, {}});
        if (asks(q, mdns::kTypeTxt)) PushOnce(answers, Item{Kind::Txt, i, {}});
        if (asks(q, mdns::kTypeSrv) && s.address != 0) PushOnce(additional, Item{Kind::A, i, {}});
      }
      if (mdns::NameEquals(q.name, HostName(s)) && asks(q, mdns::kTypeA) && s.address != 0) {
        PushOnce(answers, Item{Kind::A, i, {}});
      }
    }
  }
  std::erase_if(additional, [&](const Item& i) { return std::find(answers.begin(), answers.end(), i) != answers.end(); });
  *shared = std::any_of(answers.begin(), answers.end(), [](const Item& i) { return i.kind == Kind::Ptr; });
}

bool MdnsResponder::Known(const mdns::Message& msg, const Item& item) const {
  const AdvertisedService& s = services_[item.service];
  const mdns::Record ours = ItemRecord(item, s, s.ttl);
  for (const mdns::Record& r : msg.records) {
    if (r.section == Section::Answer && mdns::NameEquals(r.name, ours.name) && mdns::SameData(r, ours) &&
        static_cast<uint64_t>(r.ttl) * 2 >= s.ttl) {
      return true;
    }
  }
  return false;
}

bool MdnsResponder::Handle(const uint8_t* data, size_t size, unsigned interface, uint32_t from, uint16_t port) {
  mdns::Message msg;
  if (!mdns::ParseMessage(data, size, msg) || msg.IsResponse()) return false;
  // A truncated query goes on in the next datagram (more known answers).
  if (!msg.questions.empty()) ++queriesSeen;
  if (!continued_) lastKnownAnswers.clear();
  continued_ = (msg.flags & 0x0200) != 0;
  for (const mdns::Record& r : msg.records) {
    if (r.type == mdns::kTypePtr) lastKnownAnswers.push_back(mdns::NameToText(r.target));
  }
  if (!answerQueries) return true;
  std::vector<Item> answers, additional;
  bool shared = false;
  Questions(msg, answers, additional, &shared);
  if (port != kMdnsPort) {
    // A one-shot query: answered at once by unicast, with its id and questions.
    if (answers.empty()) return true;
    mdns::MessageWriter w(kAuthoritativeResponse, 9000);
    for (const mdns::Question& q : msg.questions) w.AddQuestion(q.name, q.type);
    for (const Item& i : answers) Write(w, Section::Answer, i, services_[i.service], true);
    for (const Item& i : additional) Write(w, Section::Additional, i, services_[i.service], true);
    std::vector<uint8_t> reply = w.Finish();
    reply[0] = data[0];
    reply[1] = data[1];
    socket_.SendTo(from, port, reply);
    return true;
  }
  std::erase_if(answers, [&](const Item& i) { return Known(msg, i); });
  if (answers.empty()) return true;
  const bool unicast = std::all_of(msg.questions.begin(), msg.questions.end(),
                                   [](const mdns::Question& q) { return q.unicastResponse; });
  Answer a;
  a.due = Clock::now();
  if (shared) a.due += std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 120)(random_));
  a.interface = interface;
  a.to = unicast ? from : 0;
  a.answers = std::move(answers);
  a.additional = std::move(additional);
  queued_.push_back(std::move(a));
  return true;
}

void MdnsResponder::SendDue() {
  const auto now = Clock::now();
  std::vector<Answer> due;
  for (auto it = queued_.begin(); it != queued_.end();) {
    if (it->due <= now) {
      due.push_back(std::move(*it));
      it = queued_.erase(it);
    } else {
      ++it;
    }
  }
  for (Answer& a : due) {
    // Services withdrawn meanwhile are not answered for.
    auto gone = [&](const Item& i) { return i.service >= services_.size(); };
    std::erase_if(a.answers, gone);
    std::erase_if(a.additional, gone);
    if (a.to == 0) {
      // Nothing multicast again on this interface within a second of the last time.
      auto recent = [&](const Item& i) {
        auto last = lastMulticast_.find({Key(i, services_[i.service]), a.interface});
        return last != lastMulticast_.end() && now - last->second < std::chrono::seconds(1);
      };
      std::erase_if(a.answers, recent);
      std::erase_if(a.additional, recent);
      if (a.answers.empty()) continue;
    }
    mdns::MessageWriter w(kAuthoritativeResponse, 9000);
    for (const Item& i : a.answers) Write(w, Section::Answer, i, services_[i.service], false);
    for (const Item& i : a.additional) Write(w, Section::Additional, i, services_[i.service], false);
    if (a.to != 0) {
      socket_.SendTo(a.to, kMdnsPort, w.Finish());
      continue;
    }
    SendRaw(w.Finish(), a.interface);
    for (const std::vector<Item>* list : {&a.answers, &a.additional}) {
      for (const Item& i : *list) lastMulticast_[{Key(i, services_[i.service]), a.interface}] = now;
    }
  }
}

void MdnsResponder::Rearm() {
  if (timer_ < 0) return;
  itimerspec when{};
  if (!queued_.empty()) {
    auto first = std::min_element(queued_.begin(), queued_.end(),
                                  [](const Answer& x, const Answer& y) { return x.due < y.due; });
    auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(first->due - Clock::now()).count();
    if (wait < 1) wait = 1;  // zero would disarm
    when.it_value.tv_sec = wait / 1000000000;
    when.it_value.tv_nsec = wait % 1000000000;
  }
  timerfd_settime(timer_, 0, &when, nullptr);
}

int MdnsResponder::Serve() {
  uint64_t expirations = 0;
  if (timer_ >= 0 && read(timer_, &expirations, sizeof expirations) < 0) expirations = 0;
  int read = 0;
  while (true) {
    uint8_t buffer[9000];
    unsigned interface = 0;
    uint32_t from = 0;
    uint16_t port = 0;
    long n = socket_.Receive(buffer, sizeof buffer, &interface, &from, &port);
    if (n < 0) break;
    if (Handle(buffer, static_cast<size_t>(n), interface, from, port)) ++read;
  }
  SendDue();
  Rearm();
  return read;
}

}  // namespace sim
