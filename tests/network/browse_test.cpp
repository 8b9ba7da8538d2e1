// The browse object against our DNS-SD client and a scripted responder, on
// a private network.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "network/browse/db_browse.h"
#include "network/dnssd_binding.h"
#include "platform/core/clock.h"
#include "tests/network/browse_harness.h"
#include "tests/network/loopback_responder.h"
#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace {

using test_support::BrowseHarness;
using test_support::TestResponder;
using test_support::TestService;

constexpr unsigned kMedia = DB_BROWSE_TYPE_MEDIA_DEVICE;
constexpr unsigned kConmon = DB_BROWSE_TYPE_CONMON_DEVICE;

TestService Conmon(const std::string& name, std::vector<std::string> txt = {"id=0011223344556677", "process=0"}) {
  TestService s;
  s.instance = name;
  s.type = "_netaudio-cmc._udp";
  s.subtypes = {"_Zelk"};
  s.txt = mdns::MakeTxt(txt);
  s.address = inet_addr("127.0.0.1");
  return s;
}

TestService Media(const std::string& name) {
  TestService s = Conmon(name, {"arcp_vers=2.8.1", "arcp_min=1.0.0", "router_vers=4.1.0", "mf=Zelk"});
  s.type = "_netaudio-arc._udp";
  s.port = 4440;
  return s;
}

bool Has(const std::vector<std::string>& lines, const std::string& text) {
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class Browse : public test_support::LoopbackResponderTest {
 protected:
  void SetUp() override {
    LoopbackResponderTest::SetUp();
    if (!Ready()) return;
    ASSERT_TRUE(h_.Ready());
  }
  unsigned Devices() { return db_browse_get_device_count(h_.browse()); }
  db_device* Find(const char* name) { return db_browse_find_device(h_.browse(), name); }

  BrowseHarness h_;
};

TEST_F(Browse, CallsAreCheckedAgainstTheObjectsState) {
  db_browse* b = nullptr;
  EXPECT_EQ(db_browse_new(nullptr, 0x80, &b), AUD_ERR_INVALIDPARAMETER);
  b = h_.Make(kMedia | kConmon);
  aud_socket_set set;
  aud_socket_set_clear(&set);
  EXPECT_EQ(db_browse_get_sockets(b, &set), AUD_ERR_INVALIDSTATE);
  // The budget is one socket per type plus one per resolve.
  EXPECT_EQ(db_browse_set_max_sockets(b, 2), AUD_ERR_INVALIDPARAMETER);
  EXPECT_EQ(db_browse_set_max_sockets(b, 18), AUD_SUCCESS);
  EXPECT_EQ(db_browse_get_resolve_limit(b), 16u);
  db_browse_config config;
  db_browse_config_init(&config);
  config.networks = 3;  // only two have interface entries
  EXPECT_EQ(db_browse_start_config(b, &config), AUD_ERR_INVALIDPARAMETER);
  config.networks = 1;
  ASSERT_EQ(db_browse_start_config(b, &config), AUD_SUCCESS);
  EXPECT_EQ(db_browse_start_config(b, &config), AUD_ERR_INVALIDSTATE);
  EXPECT_EQ(db_browse_set_max_sockets(b, 19), AUD_ERR_INVALIDSTATE);
  EXPECT_EQ(db_browse_get_sockets(b, &set), AUD_SUCCESS);
  EXPECT_EQ(set.n, 2);  // one per browsed type, no resolve yet
  db_browse_stop(b);

  // Without a DNS-SD library nothing starts, and nothing is left running.
  UnloadDnsSdBinding();
  EXPECT_EQ(db_browse_start_config(b, &config), AUD_ERR_DNSSDFAIL);
  EXPECT_EQ(db_browse_get_sockets(b, &set), AUD_ERR_INVALIDSTATE);
  EXPECT_TRUE(Has(h_.logLines, "Error starting media device (_netaudio-arc._udp.) browse (dnssd err=-65545)\n"));
}

TEST_F(Browse, TheManufacturerSubtypeFindsOnlyTheMakersDevicesAndNoneFindsAll) {
  TestService ours = Conmon("Ours");
  TestService theirs = Conmon("Theirs");
  theirs.subtypes = {"_Else"};
  TestService numbered = Conmon("Numbered");
  numbered.subtypes = {"_Other"};
  responder_.Add(ours);
  responder_.Add(theirs);
  responder_.Add(numbered);

  h_.Start(kConmon, "Zelk");
  ASSERT_TRUE(h_.Pump([&] { return Find("Ours") != nullptr; }, 3000, &responder_));
  h_.Pump([] { return false; }, 300, &responder_);
  EXPECT_EQ(Devices(), 1u);

  h_.Start(kConmon);
  ASSERT_TRUE(h_.Pump([&] { return Devices() == 3; }, 3000, &responder_));
  // The tree is in name order whatever the order of arrival.
  EXPECT_STREQ(db_device_get_name(db_browse_get_device(h_.browse(), 0)), "Numbered");
  EXPECT_STREQ(db_device_get_name(db_browse_get_device(h_.browse(), 2)), "Theirs");
}

TEST_F(Browse, AnAdvertisementOnASecondInterfaceIsIgnored) {
  std::string why;
  if (!test_support::AddBridge("brbrowse", "10.79.0.1/24", &why)) GTEST_SKIP() << "skipped: no bridge (" << why << ")";
  unsigned br = test_support::InterfaceIndex("brbrowse");
  TestResponder onBridge;
  ASSERT_TRUE(onBridge.Open({br}));
  TestService bridged = Conmon("Bridged");
  bridged.address = inet_addr("10.79.0.2");
  onBridge.Add(bridged);

  h_.Start(kConmon);
  responder_.Add(Conmon("Local"));
  responder_.Announce(lo_);
  ASSERT_TRUE(h_.Pump([&] { return Find("Local") != nullptr; }, 3000, &responder_));
  EXPECT_EQ(db_browse_get_interface_index(h_.browse(), 0), lo_);
  EXPECT_TRUE(Has(h_.logLines, "db_dnssd_browse: No interface index filter defined for network 0, setting interface "
                               "index to " + std::to_string(lo_) + "\n"));

  onBridge.Announce(br);
  h_.Pump([] { return false; }, 500, &onBridge);
  EXPECT_EQ(Devices(), 1u);
  EXPECT_EQ(db_browse_get_active_resolve_count(h_.browse()) + db_browse_get_pending_resolve_count(h_.browse()), 0u);
}

TEST_F(Browse, LoopbackIsAPseudoNetworkOfItsOwnUnlessExcluded) {
  db_browse_config config;
  db_browse_config_init(&config);
  config.interface_indexes[0] = 999;  // network 0 is elsewhere
  responder_.Add(Conmon("Local"));

  h_.Start(kConmon, "", &config);
  ASSERT_TRUE(h_.Pump([&] { return Find("Local") != nullptr; }, 3000, &responder_));
  EXPECT_EQ(db_device_get_services_in_slot(Find("Local"), DB_BROWSE_SLOT_LOOPBACK), kConmon);
  EXPECT_EQ(db_device_get_services_in_slot(Find("Local"), 0), 0u);
  EXPECT_EQ(db_browse_get_interface_index(h_.browse(), 1), lo_);

  config.include_loopback = false;
  h_.Start(kConmon, "", &config);
  h_.Pump([] { return false; }, 500, &responder_);
  EXPECT_EQ(Devices(), 0u);
}

TEST_F(Browse, LongNamesAndBrokenConmonRecordsAddNothing) {
  std::string longest(31, 'm');
  responder_.Add(Media(longest));
  responder_.Add(Media(std::string(32, 'n')));
  responder_.Add(Conmon(std::string(32, 'c')));
  responder_.Add(Conmon("No Vendor", {"id=0011223344556677", "process=7", "vba=1.2.3.4"}));
  responder_.Add(Conmon("No Process", {"id=0011223344556677", "vid=0011223344556677"}));
  responder_.Add(Conmon("No Id", {"process=1"}));
  h_.Start(kMedia | kConmon);
  ASSERT_TRUE(h_.Pump([&] { return Devices() == 2; }, 3000, &responder_));
  h_.Pump([] { return false; }, 300, &responder_);
  std::sort(h_.events.begin(), h_.events.end());
  EXPECT_EQ(h_.events, (std::vector<std::string>{"No Vendor:0", longest + ":0"}));
  EXPECT_EQ(db_device_get_conmon_info(Find("No Vendor"))->process, 7);
  EXPECT_TRUE(Has(h_.logLines, "db_browse_conmon_device_resolved: Resolve Error: txt record 'id' field missing or "
                               "empty for conmon device \"No Id\"\n"));
  EXPECT_EQ(db_browse_get_active_resolve_count(h_.browse()), 0u);
}

TEST_F(Browse, TwentyInstancesRunSixteenResolvesAndQueueTheRest) {
  for (int i = 0; i < 20; ++i) responder_.Add(Conmon("Unit " + std::to_string(i)));
  responder_.answerQueries = false;
  db_browse* b = h_.Make(kConmon | kMedia);
  ASSERT_EQ(db_browse_set_max_sockets(b, 18), AUD_SUCCESS);
  db_browse_config config;
  db_browse_config_init(&config);
  ASSERT_EQ(db_browse_start_config(b, &config), AUD_SUCCESS);
  // Only the pointers: with their SRV and TXT records beside them, the
  // resolves would be answered from the cache at once.
  mdns::MessageWriter pointers(mdns::kFlagResponse | 0x0400, 9000);
  for (const TestService& s : responder_.services()) {
    pointers.AddPtr(mdns::Section::Answer, test_support::TypeName(s), s.ttl, test_support::InstanceName(s));
  }
  responder_.SendRaw(pointers.Finish(), lo_);
  auto counts = [&] { return db_browse_get_active_resolve_count(b) * 100 + db_browse_get_pending_resolve_count(b); };
  ASSERT_TRUE(h_.Pump([&] { return counts() == 1604; }, 3000)) << counts();
  aud_socket_set set;
  aud_socket_set_clear(&set);
  db_browse_get_sockets(b, &set);
  EXPECT_EQ(set.n, 18);  // the whole budget
  EXPECT_GT(h_.socketChanges, 0);

  // Answered at last, every one resolves as the queue moves up.
  responder_.answerQueries = true;
  ASSERT_TRUE(h_.Pump([&] { return Devices() == 20; }, 8000, &responder_)) << Devices();
  EXPECT_EQ(counts(), 0u);
}

TEST_F(Browse, ChangesFollowServicesArrivingAndLeaving) {
  TestService media = Media("Box");
  media.host = "box-7";
  media.txt = mdns::MakeTxt({"arcp_vers=2.8.1", "router_vers=4.1.0", "router_info=zi", "model=ZIRERAR"});
  TestService conmon = Conmon("box", {"id=00000000000000A1", "process=2", "mf=Zelk"});
  conmon.host = "box-7";
  responder_.Add(media);
  h_.Start(kMedia | kConmon);
  ASSERT_TRUE(h_.Pump([&] { return h_.events.size() == 1; }, 3000, &responder_));
  EXPECT_EQ(h_.events[0], "Box:0");
  db_device* box = Find("BOX");
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(db_device_get_target_name(box), "box-7");
  EXPECT_EQ(db_device_get_media_info(box)->router_version, 0x04010000u);
  EXPECT_STREQ(db_device_get_media_info(box)->router_info, "zi");

  // The conmon service of the same device (names match in any case).
  responder_.Add(conmon);
  responder_.Announce(conmon, lo_);
  ASSERT_TRUE(h_.Pump([&] { return h_.events.size() == 2; }, 3000, &responder_));
  EXPECT_EQ(h_.events[1], "Box:1");
  EXPECT_EQ(db_device_get_services(box), kMedia | kConmon);
  EXPECT_EQ(db_device_get_conmon_info(box)->device_id.data[7], 0xA1);
  EXPECT_GE(h_.treeChanges, 2);

  responder_.Goodbye(media, lo_);
  ASSERT_TRUE(h_.Pump([&] { return h_.events.size() == 3; }, 3000, &responder_));
  EXPECT_EQ(h_.events[2], "Box:1");
  EXPECT_EQ(db_device_get_services(box), kConmon);
  EXPECT_EQ(db_device_get_media_info(box)->router_version, 0u);  // gone with its service
  EXPECT_STREQ(db_device_get_target_name(box), "box-7");

  responder_.Goodbye(conmon, lo_);
  ASSERT_TRUE(h_.Pump([&] { return h_.events.size() == 4; }, 3000, &responder_));
  EXPECT_EQ(h_.events[3], "Box:2");
  EXPECT_EQ(Devices(), 0u);
}

TEST_F(Browse, AnUnansweredResolveEndsAfterThirtySecondsAndItsRecordIsReconfirmed) {
  platform::VirtualClock clock;
  platform::Override<platform::Clock> useClock{clock};
  TestService silent = Conmon("Silent");
  responder_.Add(silent);
  responder_.answerQueries = false;

  // A second browse of the type, outside the object, sees what the
  // reconfirm does to the instance.
  bool present = false;
  DNSServiceRef watcher = nullptr;
  ASSERT_EQ(DnsSd().Browse(
                &watcher, 0, 0, "_netaudio-cmc._udp.", "local",
                [](DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType, const char*, const char*,
                   const char*, void* c) { *static_cast<bool*>(c) = (flags & kDNSServiceFlagsAdd) != 0; },
                &present),
            kDNSServiceErr_NoError);
  auto watch = [&](bool wanted) {
    for (int i = 0; i < 300 && present != wanted; ++i) {
      pollfd p{DnsSd().RefSockFD(watcher), POLLIN, 0};
      if (poll(&p, 1, 10) > 0) DnsSd().ProcessResult(watcher);
    }
    return present == wanted;
  };

  db_browse* b = h_.Start(kConmon);
  aud_time started = aud_time_now();
  responder_.Announce(lo_);
  ASSERT_TRUE(watch(true));
  ASSERT_TRUE(h_.Pump([&] { return db_browse_get_active_resolve_count(b) == 1; }, 3000));

  aud_socket_set none;
  aud_socket_set_clear(&none);
  aud_time next{};
  clock.Advance(29000);
  ASSERT_EQ(db_browse_process(b, &none, &next), AUD_SUCCESS);
  EXPECT_EQ(db_browse_get_active_resolve_count(b), 1u);
  EXPECT_EQ(next.seconds, started.seconds + 30);

  clock.Advance(2000);
  int socketsBefore = h_.socketChanges;
  ASSERT_EQ(db_browse_process(b, &none, &next), AUD_SUCCESS);
  EXPECT_EQ(db_browse_get_active_resolve_count(b), 0u);
  EXPECT_EQ(next.seconds, 0);
  EXPECT_EQ(h_.socketChanges, socketsBefore + 1);
  EXPECT_TRUE(Has(h_.logLines, "db_browse_process: Resolve _netaudio-cmc._udp./Silent "
                               "(Silent._netaudio-cmc._udp.local.) timed out, removing and reconfirming\n"));
  EXPECT_TRUE(watch(false));  // the PTR record was dropped and not confirmed
  EXPECT_EQ(Devices(), 0u);
  DnsSd().RefDeallocate(watcher);
}

}  // namespace
