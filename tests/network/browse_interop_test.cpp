// The browse object against devices advertised by python3-zeroconf, a
// multicast DNS implementation nobody here wrote, in the private network.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/network/browse_harness.h"
#include "tests/support/private_network.h"

namespace {

const char* const kPython = "/usr/bin/python3";

// One line of the peer's output, waiting at most `ms`; "" on time-out or end.
std::string ReadLine(FILE* peer, int ms) {
  std::string line;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fileno(peer), POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    char c;
    if (read(fileno(peer), &c, 1) <= 0 || c == '\n') return line;
    line += c;
  }
  return line;
}

std::string Id(const aud_id& id) { return std::string(reinterpret_cast<const char*>(id.data), 8); }

TEST(BrowseInterop, ZeroconfDevicesAreFoundWithTheirTxtFieldsAndLeaveTheTree) {
  REQUIRE_PRIVATE_NETWORK();
  if (std::system((std::string(kPython) + " -c 'import zeroconf' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "skipped: python3-zeroconf is not installed for " << kPython;
  }
  std::string command = std::string(kPython) + " " + REFLASH_TEST_NETWORK_DIR + "/zeroconf_peer.py devices 4";
  FILE* peer = popen(command.c_str(), "r");
  ASSERT_NE(peer, nullptr);
  ASSERT_EQ(ReadLine(peer, 10000), "ready");

  test_support::BrowseHarness h;
  ASSERT_TRUE(h.Ready());
  db_browse* b = h.Start(DB_BROWSE_TYPE_MEDIA_DEVICE | DB_BROWSE_TYPE_CONMON_DEVICE, "Zelk");
  EXPECT_TRUE(h.Pump([&] { return h.events.size() >= 2; }, 6000));
  EXPECT_EQ(h.events, (std::vector<std::string>{"Peer Box:0", "Peer Box:1"}));

  db_device* box = db_browse_find_device(b, "Peer Box");
  ASSERT_NE(box, nullptr);
  EXPECT_STREQ(db_device_get_target_name(box), "peer-box");
  EXPECT_EQ(db_device_get_services(box), DB_BROWSE_TYPE_MEDIA_DEVICE | DB_BROWSE_TYPE_CONMON_DEVICE);
  const db_media_info* media = db_device_get_media_info(box);
  EXPECT_EQ(media->arcp_version, 0x02080001u);
  EXPECT_EQ(media->arcp_min_version, 0x02000000u);
  EXPECT_EQ(media->router_version, 0x04010000u);
  EXPECT_STREQ(media->router_info, "zi-rerar");
  EXPECT_EQ(Id(media->manufacturer), std::string("Zelk\0\0\0\0", 8));
  EXPECT_EQ(Id(media->model), std::string("\x0a\x1b\0\0\0\0\0\0", 8));
  const db_conmon_info* conmon = db_device_get_conmon_info(box);
  EXPECT_EQ(Id(conmon->device_id), std::string("\x00\x1d\xc1\xff\xfe\x50\x0c\x2a", 8));
  EXPECT_EQ(conmon->process, 3);
  EXPECT_EQ(conmon->vendor_id.data[7], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(conmon->vba), 4), "\x01\x02\x03\x04");
  EXPECT_EQ(Id(conmon->model), std::string("ZIRERAR\0", 8));

  // The peer's goodbyes take both services away, and with them the device.
  EXPECT_TRUE(h.Pump([&] { return db_browse_get_device_count(b) == 0; }, 12000));
  ASSERT_EQ(h.events.size(), 4u);
  EXPECT_EQ(h.events[2], "Peer Box:1");
  EXPECT_EQ(h.events[3], "Peer Box:2");
  EXPECT_EQ(ReadLine(peer, 5000), "gone");
  pclose(peer);
}

}  // namespace
