// The device-control context without a network: open rules, addresses,
// delete refusal, names, versions and control-message headers.
#include <gtest/gtest.h>

#include <string>

#include "network/devices/dr_devices.h"
#include "network/devices/dr_message.h"
#include "network/devices/dr_records.h"
#include "network/devices/dr_txt_versions.h"
#include "platform/net/byte_order.h"

namespace {

// An IPv4 address in network byte order.
uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return platform::net::HostToNetwork32(a << 24 | b << 16 | c << 8 | d);
}

class DeviceContext : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(dr_devices_new(nullptr, &devices_), AUD_SUCCESS); }
  void TearDown() override { EXPECT_EQ(dr_devices_delete(devices_), AUD_SUCCESS); }
  dr_device_open_config Given(uint32_t first, uint16_t port, unsigned count = 1) {
    dr_device_open_config c{};
    c.num_addresses = count;
    c.flags = DR_DEVICE_CONFIG_ADDRESSES;
    c.addresses[0] = {first, port};
    return c;
  }
  dr_devices* devices_ = nullptr;
};

TEST_F(DeviceContext, ConfigsWithoutAnythingToUseAreRefusedAndLeaveNoHandle) {
  dr_device* d = nullptr;
  dr_device_open_config c = Given(0, 0);
  EXPECT_EQ(dr_device_open_with_config(nullptr, &c, &d), AUD_ERR_INVALIDPARAMETER);
  EXPECT_EQ(dr_device_open_with_config(devices_, nullptr, &d), AUD_ERR_INVALIDPARAMETER);
  EXPECT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_ERR_NOTFOUND);  // no non-zero address
  c.flags = DR_DEVICE_CONFIG_INTERFACES;
  EXPECT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_ERR_INVALIDPARAMETER);  // no name
  c.name = "Unit";
  EXPECT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_ERR_NOTFOUND);  // no interface listed
  c = Given(Ip(10, 0, 0, 1), 0, 3);
  EXPECT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_ERR_INVALIDPARAMETER);  // two slots at most
  // Without a DNS-SD library the resolve cannot start.
  EXPECT_EQ(dr_device_open_by_name(devices_, "Unit", &d), AUD_ERR_DNSSDFAIL);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(devices_->devices, nullptr);
}

TEST_F(DeviceContext, GivenAddressesAreResolvedAtOnceAndReportedPerSlot) {
  dr_device* d = nullptr;
  dr_device_open_config c = Given(Ip(10, 0, 0, 7), 0, 2);
  ASSERT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_SUCCESS);
  EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVED);
  dr_address out[2] = {{1, 1}, {1, 1}};
  unsigned count = 2;
  ASSERT_EQ(dr_device_get_addresses(d, &count, out), AUD_SUCCESS);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(out[0].host, Ip(10, 0, 0, 7));
  EXPECT_EQ(out[0].port, 4440);  // port 0 means the default
  EXPECT_EQ(out[1].host, 0u);
  count = 1;
  out[1] = {9, 9};
  ASSERT_EQ(dr_device_get_addresses(d, &count, out), AUD_SUCCESS);
  EXPECT_EQ(count, 2u);         // the number of slots, not of entries written
  EXPECT_EQ(out[1].host, 9u);   // beyond the capacity nothing is written
  EXPECT_EQ(dr_device_get_addresses(d, nullptr, out), AUD_ERR_INVALIDPARAMETER);
  dr_device_close(d);

  c = Given(Ip(10, 0, 0, 8), 5000, 1);
  ASSERT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_SUCCESS);
  count = 2;
  ASSERT_EQ(dr_device_get_addresses(d, &count, out), AUD_SUCCESS);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(out[0].port, 5000);
  dr_device_close(d);
}

TEST_F(DeviceContext, DeleteIsRefusedWhileAHandleIsOpenAndFreesNothing) {
  EXPECT_EQ(dr_devices_delete(nullptr), AUD_ERR_INVALIDPARAMETER);
  dr_device* d = nullptr;
  dr_device_open_config c = Given(Ip(10, 0, 0, 9), 0);
  ASSERT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_SUCCESS);
  EXPECT_EQ(dr_devices_delete(devices_), AUD_ERR_INVALIDSTATE);
  // Both are still whole (ASan reports any use after a free).
  EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVED);
  aud_socket_set set{};
  EXPECT_EQ(dr_devices_get_sockets(devices_, &set), AUD_SUCCESS);
  EXPECT_EQ(set.n, 1);  // the control socket
  dr_device_close(d);
}

TEST_F(DeviceContext, LongNamesAreCutToThirtyNineCharactersOnACharacterBoundary) {
  const std::string ascii(45, 'a');
  const std::string wide = std::string(38, 'b') + "\xC3\xA9" + "cc";  // the 39th byte starts a 2-byte character
  for (const auto& [name, kept] : {std::pair{ascii, ascii.substr(0, 39)}, std::pair{wide, wide.substr(0, 38)}}) {
    dr_device_open_config c = Given(Ip(10, 0, 0, 1), 0);
    c.name = name.c_str();
    dr_device* d = nullptr;
    ASSERT_EQ(dr_device_open_with_config(devices_, &c, &d), AUD_SUCCESS);
    EXPECT_EQ(std::string(d->name), kept);
    dr_device_close(d);
  }
}

TEST(DeviceValues, VersionTripletsNeedAllThreeNumbers) {
  struct Case {
    const char* text;
    bool ok;
  };
  for (const Case& c : {Case{"2.8.1", true}, Case{"10.0.255-beta", true}, Case{"2.8", false}, Case{"2..1", false},
                        Case{"a.b.c", false}, Case{" 1.2.3", false}, Case{"99999999999.1.1", false}, Case{"", false}}) {
    unsigned v[3] = {};
    EXPECT_EQ(dr_parse_version_triplet(c.text, static_cast<unsigned>(std::string(c.text).size()), v), c.ok) << c.text;
  }
  unsigned v[3] = {};
  ASSERT_TRUE(dr_parse_version_triplet("4.1.0xyz", 5, v));  // only `length` bytes are read
  EXPECT_EQ(v[2], 0u);
}

TEST(DeviceValues, ControlMessageHeadersMustBeWholeAndConsistent) {
  uint8_t m[12] = {};
  dr_message_write_header({DR_MESSAGE_RESPONSE, 12, 0x1234, 0x1001}, m);
  dr_message_header h{};
  ASSERT_TRUE(dr_message_read_header(m, sizeof m, &h));
  EXPECT_EQ(h.seqnum, 0x1234);
  EXPECT_EQ(h.opcode, 0x1001);
  EXPECT_FALSE(dr_message_read_header(m, 11, &h));  // length field disagrees
  EXPECT_FALSE(dr_message_read_header(m, 7, &h));   // shorter than a header
  m[1] = 3;
  EXPECT_FALSE(dr_message_read_header(m, sizeof m, &h));  // unknown kind
}

}  // namespace
