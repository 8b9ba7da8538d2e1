// Device handles resolved over DNS-SD against a responder of ours, on a
// private network; reply handlers fed directly where our client would
// never pass such a reply on; the control socket drained.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "network/devices/dr_control.h"
#include "network/devices/dr_device_addresses.h"
#include "network/devices/dr_message.h"
#include "network/devices/dr_records.h"
#include "network/dnssd_binding.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

using test_support::TestResponder;
using test_support::TestService;

class DeviceResolve : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    setenv("REFLASH_DNSSD_LIBRARY", REFLASH_TEST_OWN_DNSSD, 1);
    ASSERT_TRUE(LoadDnsSdBinding());
    ASSERT_EQ(aud_env_acquire(&env_), AUD_SUCCESS);
    aud_log_set_threshold(aud_env_get_log(env_), AUD_LOG_DEBUG);
    aud_log_set_callback(aud_env_get_log(env_), [](void* c, unsigned, const char* line) {
      static_cast<std::vector<std::string>*>(c)->push_back(line);
    }, &lines_);
    ASSERT_EQ(dr_devices_new(env_, &devices_), AUD_SUCCESS);
    dr_devices_set_context(devices_, this);
    dr_devices_set_sockets_changed_callback(devices_, [](dr_devices* devices) {
      EXPECT_FALSE(devices->in_process);  // held back to the end of processing
      ++static_cast<DeviceResolve*>(dr_devices_get_context(devices))->socketChanges_;
    });
    lo_ = test_support::InterfaceIndex("lo");
  }
  void TearDown() override {
    for (dr_device* d : handles_) dr_device_close(d);
    if (devices_) {
      EXPECT_EQ(dr_devices_delete(devices_), AUD_SUCCESS);
    }
    if (env_) aud_env_release(env_);
    UnloadDnsSdBinding();
    unsetenv("REFLASH_DNSSD_LIBRARY");
  }
  static TestService Arc(const std::string& name, std::vector<std::string> txt = {"arcp_vers=2.8.1",
                                                                                  "router_vers=4.1.0"}) {
    TestService s;
    s.instance = name;
    s.type = "_netaudio-arc._udp";
    s.txt = mdns::MakeTxt(txt);
    s.address = inet_addr("10.9.9.9");  // what an address query would give
    return s;
  }
  dr_device* Open(const std::string& name) {
    dr_device* d = nullptr;
    EXPECT_EQ(dr_device_open_by_name(devices_, name.c_str(), &d), AUD_SUCCESS);
    if (d == nullptr) return nullptr;
    dr_device_set_context(d, this);
    dr_device_set_changed_callback(d, [](dr_device* device, unsigned changes) {
      auto* self = static_cast<DeviceResolve*>(dr_device_get_context(device));
      self->changes_ |= changes;
      if (self->closeWhenResolved_ && dr_device_get_state(device) == DR_DEVICE_STATE_RESOLVED) {
        std::erase(self->handles_, device);
        dr_device_close(device);  // as the transport does, from inside the callback
      }
    });
    handles_.push_back(d);
    return d;
  }
  // Runs the context and the responder until `done` holds or `ms` pass.
  bool Pump(TestResponder& responder, const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      aud_socket_set set;
      aud_socket_set_clear(&set);
      EXPECT_EQ(dr_devices_get_sockets(devices_, &set), AUD_SUCCESS);
      if (responder.fd() >= 0) aud_socket_set_add(&set, responder.fd());
      if (aud_socket_set_wait(&set, 20) <= 0) continue;
      if (aud_socket_set_remove(&set, responder.fd())) responder.Serve();
      EXPECT_EQ(dr_devices_process(devices_, &set), AUD_SUCCESS);
    }
    return true;
  }
  static dr_address Address(const dr_device* d) {
    dr_address a{};
    unsigned count = 1;
    EXPECT_EQ(dr_device_get_addresses(d, &count, &a), AUD_SUCCESS);
    return a;
  }
  bool Logged(const std::string& text) const {
    for (const std::string& line : lines_) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  aud_env env_ = nullptr;
  dr_devices* devices_ = nullptr;
  unsigned lo_ = 0;
  TestResponder responder_;
  std::vector<dr_device*> handles_;
  std::vector<std::string> lines_;
  unsigned changes_ = 0;
  int socketChanges_ = 0;
  bool closeWhenResolved_ = false;
};

// The responder on a bridge, so that replies arrive on another interface
// than the loopback; skipped where no bridge can be made.
class DeviceResolveOnBridge : public DeviceResolve {
 protected:
  void SetUp() override {
    DeviceResolve::SetUp();
    if (IsSkipped() || HasFailure()) return;
    bridge_ = Bridge();
    if (bridge_ == 0) GTEST_SKIP() << "skipped: no bridge";
    ASSERT_TRUE(responder_.Open({bridge_}));
  }

  unsigned bridge_ = 0;

 private:
  static unsigned Bridge() {
    if (unsigned known = test_support::InterfaceIndex("brdev")) return known;  // tests run in one process share it
    std::string why;
    if (!test_support::AddBridge("brdev", "10.78.0.1/24", &why)) return 0;
    return test_support::InterfaceIndex("brdev");
  }
};

TEST_F(DeviceResolve, AReplyOnTheLoopbackInterfaceGivesTheLoopbackAddress) {
  ASSERT_TRUE(responder_.Open({lo_}));
  responder_.Add(Arc("Unit One"));
  dr_device* d = Open("Unit One");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
  ASSERT_TRUE(Pump(responder_, [&] { return dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED; }, 3000));
  EXPECT_EQ(Address(d).host, inet_addr("127.0.0.1"));  // 10.9.9.9 is no loopback address
  EXPECT_EQ(Address(d).port, 8700);
  EXPECT_EQ(changes_, DR_DEVICE_CHANGE_STATE | DR_DEVICE_CHANGE_ADDRESSES);
  EXPECT_EQ(d->arcp_version, 0x2801);
  aud_socket_set set;
  aud_socket_set_clear(&set);
  dr_devices_get_sockets(devices_, &set);
  EXPECT_EQ(set.n, 1);  // the resolve ended: only the control socket is left
  EXPECT_GE(socketChanges_, 2);
  EXPECT_TRUE(Logged("dr_device_set_state(Unit One): Setting state to RESOLVED (was RESOLVING)"));
}

TEST_F(DeviceResolveOnBridge, AReplyOnAnotherInterfaceGoesThroughTheAddressQuery) {
  TestService unit = Arc("Bridged");
  unit.address = inet_addr("10.78.0.2");
  responder_.Add(unit);
  dr_device* d = Open("Bridged");
  ASSERT_TRUE(Pump(responder_, [&] { return dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED; }, 3000));
  EXPECT_EQ(Address(d).host, inet_addr("10.78.0.2"));
  EXPECT_EQ(Address(d).port, 8700);
  EXPECT_EQ(d->addresses.slots[0].interface_index, bridge_);
}

TEST_F(DeviceResolve, TxtRecordsDecideWhetherTheHandleResolves) {
  ASSERT_TRUE(responder_.Open({lo_}));
  struct Case {
    const char* name;
    std::vector<std::string> txt;
    bool resolves;
  };
  const std::vector<Case> cases = {
      {"Safe", {"safe=1"}, true},  // no versions needed in safe mode
      {"No Arcp", {"router_vers=4.1.0"}, false},
      {"Short Arcp", {"arcp_vers=2.8", "router_vers=4.1.0"}, false},
      {"No Router", {"arcp_vers=2.8.1"}, false},
      {"Zero Router", {"arcp_vers=2.8.1", "router_vers=0.1.0"}, false},
  };
  std::vector<dr_device*> opened;
  for (const Case& c : cases) {
    responder_.Add(Arc(c.name, c.txt));
    opened.push_back(Open(c.name));
  }
  // Settled: resolved, or its resolve cancelled after the refused record.
  auto settled = [&] {
    for (dr_device* d : opened) {
      if (d->addresses.slots[0].socket >= 0) return false;
    }
    return true;
  };
  ASSERT_TRUE(Pump(responder_, settled, 3000));
  Pump(responder_, [] { return false; }, 200);  // nothing restarts by itself
  for (size_t i = 0; i < cases.size(); ++i) {
    const dr_device* d = opened[i];
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(dr_device_get_state(d), cases[i].resolves ? DR_DEVICE_STATE_RESOLVED : DR_DEVICE_STATE_RESOLVING);
    // A refused record leaves no address behind.
    EXPECT_EQ(Address(d).host, cases[i].resolves ? inet_addr("127.0.0.1") : 0u);
    EXPECT_EQ(d->addresses.error, cases[i].resolves ? AUD_SUCCESS : AUD_ERR_DNSSDFAIL);
  }
  EXPECT_TRUE(opened[0]->safe_mode);
  EXPECT_EQ(opened[0]->arcp_version, 0x271D);
  EXPECT_TRUE(Logged("txt record has 'safe' key, marking as being in safe mode"));
  EXPECT_TRUE(Logged("Error processing sockets: DNS-SD system failed"));
}

TEST_F(DeviceResolveOnBridge, AnAddressRecordOfFiveBytesLeavesTheHandleResolving) {
  TestService unit = Arc("Odd");
  unit.address = 0;  // the responder leaves the address question to the test
  responder_.Add(unit);
  dr_device* d = Open("Odd");
  dr_device_address* slot = &d->addresses.slots[0];
  ASSERT_TRUE(Pump(responder_, [&] { return (slot->flags & DR_SLOT_QUERYING) != 0; }, 3000));
  mdns::MessageWriter w(mdns::kFlagResponse | 0x0400, 9000);
  w.AddRaw(mdns::Section::Answer, test_support::HostName(unit), mdns::kTypeA, mdns::kClassIn, 120, {10, 78, 0, 2, 9});
  responder_.SendRaw(w.Finish(), bridge_);
  Pump(responder_, [] { return false; }, 300);
  EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);  // our client drops it on the way

  // Handed over anyway, it is refused; even a good record after it is not
  // taken and the query ends.
  const uint8_t five[5] = {10, 78, 0, 2, 9};
  device_address_query_callback(nullptr, kDNSServiceFlagsAdd, bridge_, 0, "unit1.local.", 1, 1, 5, five, 120, slot);
  EXPECT_EQ(d->addresses.error, AUD_ERR_INVALIDDATA);
  mdns::MessageWriter good(mdns::kFlagResponse | 0x0400, 9000);
  good.AddA(mdns::Section::Answer, test_support::HostName(unit), 120, inet_addr("10.78.0.2"));
  responder_.SendRaw(good.Finish(), bridge_);
  ASSERT_TRUE(Pump(responder_, [&] { return slot->socket < 0; }, 3000));
  EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
  EXPECT_EQ(Address(d).host, 0u);
  EXPECT_TRUE(Logged("Error processing sockets: invalid data"));
}

TEST_F(DeviceResolve, TheFirstUsableResolveReplyIsTheOneFollowed) {
  const std::vector<uint8_t> txt = mdns::MakeTxt({"arcp_vers=2.8.1", "router_vers=4.1.0"});
  auto reply = [&](dr_device* d, uint32_t interface, const char* host, uint16_t port) {
    device_address_resolve_callback(nullptr, 0, interface, 0, "x", host, htons(port),
                                    static_cast<uint16_t>(txt.size()), txt.data(), &d->addresses.slots[0]);
  };
  dr_device* any = Open("Nobody");
  reply(any, 77, "first.local.", 1111);
  reply(any, 77, "second.local.", 2222);  // a second reply once the host is known
  EXPECT_STREQ(any->addresses.slots[0].host, "first.local.");
  EXPECT_EQ(any->addresses.slots[0].pending_port, 1111);
  EXPECT_EQ(any->addresses.slots[0].interface_index, 77u);

  dr_device_open_config config{};
  config.name = "Pinned";
  config.num_addresses = 1;
  config.flags = DR_DEVICE_CONFIG_INTERFACES;
  config.interface_indexes[0] = 77;
  dr_device* pinned = nullptr;
  ASSERT_EQ(dr_device_open_with_config(devices_, &config, &pinned), AUD_SUCCESS);
  handles_.push_back(pinned);
  reply(pinned, 78, "other.local.", 3333);  // not its interface
  EXPECT_EQ(pinned->addresses.slots[0].pending_port, 0);
  reply(pinned, lo_, "here.local.", 4444);  // the loopback interface always counts
  EXPECT_EQ(pinned->addresses.slots[0].pending_port, 4444);
  EXPECT_STREQ(pinned->addresses.slots[0].host, "here.local.");

  dr_device* refused = Open("Refused");
  reply(refused, 77, "zero.local.", 0);  // a port of 0 cannot be reached
  EXPECT_EQ(refused->addresses.error, AUD_ERR_INVALIDDATA);
}

TEST_F(DeviceResolve, HandlesClosedFromTheirOwnCallbackLeaveTheOthersRunning) {
  ASSERT_TRUE(responder_.Open({lo_}));
  closeWhenResolved_ = true;
  for (const char* name : {"A", "B", "C"}) {
    responder_.Add(Arc(name));
    Open(name);
  }
  ASSERT_TRUE(Pump(responder_, [&] { return handles_.empty(); }, 3000));  // ASan checks the walk
  EXPECT_EQ(devices_->devices, nullptr);
}

TEST_F(DeviceResolve, ControlSocketDropsWhatMatchesNoRequestAndIsDrained) {
  const int control = devices_->control_socket;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = inet_addr("127.0.0.1");
  ASSERT_EQ(bind(control, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  socklen_t size = sizeof at;
  ASSERT_EQ(getsockname(control, reinterpret_cast<sockaddr*>(&at), &size), 0);
  const int sender = socket(AF_INET, SOCK_DGRAM, 0);
  auto send = [&](dr_message_kind kind, uint16_t seqnum, uint16_t opcode, size_t length = DR_MESSAGE_HEADER_SIZE) {
    std::vector<uint8_t> m(length);
    if (length >= DR_MESSAGE_HEADER_SIZE)
      dr_message_write_header({kind, static_cast<uint16_t>(length), seqnum, opcode}, m.data());
    sendto(sender, m.data(), m.size(), 0, reinterpret_cast<sockaddr*>(&at), sizeof at);
  };
  int answered = 0;
  dr_request* request = dr_devices_request_allocate(
      devices_, nullptr, 0x1001, [](dr_device*, void* c, const uint8_t*, size_t) { ++*static_cast<int*>(c); },
      &answered);
  ASSERT_NE(request, nullptr);
  const uint16_t seqnum = request->seqnum;
  send(DR_MESSAGE_REQUEST, 7, 0x1001);
  send(DR_MESSAGE_RESPONSE, 0x7777, 0x1002);
  send(DR_MESSAGE_RESPONSE, 0, 0, 3);  // too short for a header
  send(DR_MESSAGE_RESPONSE, seqnum, 0x1001, 12);
  send(DR_MESSAGE_RESPONSE, seqnum, 0x1001, 12);  // its request is answered already
  close(sender);
  aud_socket_set set;
  aud_socket_set_clear(&set);
  aud_socket_set_add(&set, control);
  ASSERT_EQ(aud_socket_set_wait(&set, 1000), 1);
  EXPECT_EQ(dr_devices_process(devices_, &set), AUD_SUCCESS);
  EXPECT_EQ(answered, 1);
  uint8_t byte;
  EXPECT_EQ(recv(control, &byte, 1, MSG_DONTWAIT), -1);  // all five read in one step
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_TRUE(Logged("dr_devices_process_message: Unexpected request seqnum=0x0007 opcode=0x1001"));
  EXPECT_TRUE(Logged("dr_devices_process_message: Unhandled response seqnum=0x7777 opcode=0x1002"));
  char unmatched[64];
  snprintf(unmatched, sizeof unmatched, "Unhandled response seqnum=0x%04x opcode=0x1001", seqnum);
  EXPECT_TRUE(Logged(unmatched));
}

TEST_F(DeviceResolve, AnAddressHeardOnTheLoopbackIsTheRecordsOwnOnlyWhenItIsALoopbackAddress) {
  // Several devices on this computer keep their own 127.x addresses apart;
  // any other address heard there becomes the loopback interface's.
  const std::vector<uint8_t> txt = mdns::MakeTxt({"arcp_vers=2.8.1", "router_vers=4.1.0"});
  struct Case {
    const char* name;
    unsigned interface;
    const char* record;
    const char* expected;
  } cases[] = {
      {"On Loopback", lo_, "127.0.1.7", "127.0.1.7"},
      {"Lan Address", lo_, "10.1.2.3", "127.0.0.1"},
      {"Multicast", lo_, "224.0.0.5", "224.0.0.5"},  // no host's: left for the caller to refuse
      {"Elsewhere", 77, "127.0.1.8", "127.0.1.8"},  // the transport judges that one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dr_device* d = Open(c.name);
    ASSERT_NE(d, nullptr);
    dr_device_address* slot = &d->addresses.slots[0];
    device_address_resolve_callback(nullptr, 0, c.interface, 0, "x", "host.local.", htons(4440),
                                    static_cast<uint16_t>(txt.size()), txt.data(), slot);
    ASSERT_EQ(slot->pending_port, 4440);
    const uint32_t record = inet_addr(c.record);
    device_address_query_callback(nullptr, kDNSServiceFlagsAdd, c.interface, 0, "host.local.", 1, 1, 4, &record, 120,
                                  slot);
    EXPECT_EQ(Address(d).host, inet_addr(c.expected));
    EXPECT_EQ(Address(d).port, 4440);
    EXPECT_EQ(dr_device_get_address_interface(d, 0), c.interface);
    EXPECT_FALSE(dr_device_resolution_stopped(d));
  }
  // A refused record ends the resolve for good, which the caller can see.
  dr_device* broken = Open("Broken");
  const std::vector<uint8_t> bad = mdns::MakeTxt({"router_vers=4.1.0"});
  device_address_resolve_callback(nullptr, 0, 77, 0, "x", "host.local.", htons(4440),
                                  static_cast<uint16_t>(bad.size()), bad.data(), &broken->addresses.slots[0]);
  EXPECT_FALSE(dr_device_resolution_stopped(broken));  // not until its socket is processed
  dr_device_address_cancel(&broken->addresses.slots[0]);
  EXPECT_TRUE(dr_device_resolution_stopped(broken));
}

}  // namespace
