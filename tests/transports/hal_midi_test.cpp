#include "transports/hal_midi.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/core/clock.h"
#include "platform/devctl/device_control.h"
#include "platform/devctl/z2mixer.h"
#include "sim/links/sim_host_driver.h"
#include "tests/transports/link_test_support.h"

namespace {

using link_test::ProbePeer;
using sim::SimAdapter;

class HalMidiTest : public ::testing::Test {
 protected:
  HalMidiTest() : clockGuard_(clock_), driverGuard_(driver_) {}

  SimAdapter Unit(ProbePeer* peer, uint8_t productId = 96, uint8_t bus = 20) {
    SimAdapter a;
    a.unit = peer;
    a.productId = productId;
    a.bus = bus;
    return a;
  }
  int CountCode(uint32_t code) {
    int n = 0;
    for (auto& r : driver_.Requests()) n += r.code == code;
    return n;
  }

  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> clockGuard_;
  sim::SimHostDriver driver_;
  platform::Override<platform::DeviceControl> driverGuard_;
  ProbePeer unit_;
};

TEST(HalMidiNoDriverTest, WithoutTheHostDriverOpenFails) {
  CHalMIDI t;
  EXPECT_EQ(t.Open(), 1);
  EXPECT_FALSE(t.IsOpen());
}

// Every failing call of a device-control backend gives its failure value,
// and LastError says why, naming the device or the request.
TEST(DeviceControlErrors, EveryFailureGivesItsValueAndSaysWhy) {
  sim::SimHostDriver driver;
  platform::DeviceControl& system = platform::Devices();
  for (platform::DeviceControl* devices : {&system, static_cast<platform::DeviceControl*>(&driver)}) {
    EXPECT_EQ(devices->OpenDevice("\\\\.\\Z2Mixer5"), platform::kNoDevice);
    EXPECT_EQ(devices->LastError().rfind("\\\\.\\Z2Mixer5: ", 0), 0u) << devices->LastError();
    uint8_t request[z2mixer::kInfoSize] = {};
    uint32_t returned = 7;
    EXPECT_FALSE(devices->Request(platform::kNoDevice, z2mixer::kAdapterInfo, request, sizeof request, request,
                                  sizeof request, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_NE(devices->LastError().find("request 0x"), std::string::npos) << devices->LastError();
  }
  // A refusal of the driver itself; a success leaves the last word.
  driver.SetAdapter(0, sim::SimAdapter{});
  driver.AdapterAt(0).failInfo = true;
  const platform::DeviceHandle d = driver.OpenDevice("\\\\.\\Z2Mixer0");
  ASSERT_NE(d, platform::kNoDevice);
  uint8_t info[z2mixer::kInfoSize] = {};
  EXPECT_FALSE(driver.Request(d, z2mixer::kAdapterInfo, info, sizeof info, info, sizeof info, nullptr));
  const std::string refused = driver.LastError();
  EXPECT_NE(refused.find("request 0x"), std::string::npos) << refused;
  driver.AdapterAt(0).failInfo = false;
  EXPECT_TRUE(driver.Request(d, z2mixer::kAdapterInfo, info, sizeof info, info, sizeof info, nullptr));
  EXPECT_EQ(driver.LastError(), refused);
  driver.CloseDevice(d);
}

TEST_F(HalMidiTest, UsesTheFirstDeviceThatOpensAndTriesNoFurther) {
  driver_.SetDevicePresent(0, false);
  driver_.SetDevicePresent(1, true);
  driver_.SetDevicePresent(2, true);
  driver_.SetAdapter(0, Unit(&unit_));
  CHalMIDI t;
  ASSERT_EQ(t.Open(), 0);
  EXPECT_EQ(driver_.OpenAttempts(), (std::vector<std::string>{"\\\\.\\Z2Mixer0", "\\\\.\\Z2Mixer1"}));
  EXPECT_EQ(driver_.Requests().front().device, 1);
}

TEST_F(HalMidiTest, OnlyKnownUnitsOnThunderboltBecomeConnections) {
  struct Case {
    uint8_t bus, productId;
    bool accepted;
  } cases[] = {{0x14, 0x60, true},  {0x15, 0x60, false}, {0x14, 0x01, false}, {0x00, 0x60, false},
               {0x14, 0x00, true},  {0x14, 38, true},    {0x14, 39, true},    {0x14, 49, true}};
  for (const Case& c : cases) {
    sim::SimHostDriver driver;
    platform::Override<platform::DeviceControl> guard(driver);
    driver.SetAdapter(3, Unit(&unit_, c.productId, c.bus));
    CHalMIDI t;
    EXPECT_EQ(t.Open(), c.accepted ? 0 : 1) << int(c.bus) << "/" << int(c.productId);
    uint16_t n = 9;
    t.GetNumberOfConnections(&n);
    EXPECT_EQ(n, c.accepted ? 1 : 0);
    EXPECT_EQ(t.IsOpen(), c.accepted);
    EXPECT_EQ(driver.OpenDevices(), c.accepted ? 1 : 0) << "a failed Open must close the device";
  }
}

TEST_F(HalMidiTest, ConnectionsFollowAdapterOrderAndTheHighBitIsIgnored) {
  ProbePeer other;
  driver_.SetAdapter(5, Unit(&other));
  driver_.SetAdapter(2, Unit(&unit_));
  driver_.SetAdapter(4, Unit(&unit_)).failInfo = true;
  CHalMIDI t;
  ASSERT_EQ(t.Open(), 0);
  uint16_t n = 0;
  t.GetNumberOfConnections(&n);
  ASSERT_EQ(n, 2);
  uint16_t selected = 0;
  t.GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 0xFFFF);

  driver_.ClearRequests();
  ASSERT_EQ(t.SelectConnection(0x8001), 0);
  t.GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(driver_.Taken(), (std::set<int>{5}));
  EXPECT_EQ(t.SelectConnection(1), 0);
  EXPECT_EQ(driver_.Requests().size(), 1u) << "re-selecting must send nothing";
  EXPECT_EQ(t.SelectConnection(2), 1);

  ASSERT_EQ(t.SelectConnection(0), 0);
  EXPECT_EQ(driver_.Taken(), (std::set<int>{2}));
  t.Close();
  EXPECT_TRUE(driver_.Taken().empty());
  EXPECT_EQ(driver_.OpenDevices(), 0);
  t.GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 0xFFFF);
}

TEST_F(HalMidiTest, WriteWrapsTheMessageInAFullRequest) {
  driver_.SetAdapter(6, Unit(&unit_));
  CHalMIDI t;
  uint8_t msg[10] = {0xF0, 0x00, 0x01, 0x54, 0x68, 0x04, 0x2E, 0x11, 0x22, 0xF7};
  ASSERT_EQ(t.Open(), 0);
  EXPECT_EQ(t.Write(msg, 10), 0) << "nothing selected: nothing sent";
  EXPECT_EQ(CountCode(z2mixer::kSend), 0);
  ASSERT_EQ(t.SelectConnection(0), 0);
  ASSERT_EQ(t.Write(msg, 10), 0);
  const auto& r = driver_.Requests().back();
  ASSERT_EQ(r.code, z2mixer::kSend);
  EXPECT_EQ(r.size, 2056u);
  ASSERT_EQ(r.in.size(), 18u);
  EXPECT_EQ(z2mixer::Get32(&r.in[0]), 6u);
  EXPECT_EQ(z2mixer::Get32(&r.in[4]), 10u);
  EXPECT_EQ(std::vector<uint8_t>(r.in.begin() + 8, r.in.begin() + 18), std::vector<uint8_t>(msg, msg + 10));
  EXPECT_TRUE(r.restZero) << "the room past the message must be zero";
  ASSERT_EQ(unit_.frames.size(), 1u);

  std::vector<uint8_t> big(2049, 0);
  EXPECT_EQ(t.Write(big.data(), 2049), 1);
  driver_.failSend = true;
  EXPECT_EQ(t.Write(msg, 10), 1);
}

TEST_F(HalMidiTest, RequestRecordHoldsHeadersOfFetchesAndStaysBounded) {
  driver_.SetAdapter(0, Unit(&unit_));
  const platform::DeviceHandle d = driver_.OpenDevice("\\\\.\\Z2Mixer0");
  ASSERT_NE(d, platform::kNoDevice);
  std::vector<uint8_t> in(z2mixer::kMessageRequestSize, 0), out(z2mixer::kMessageRequestSize);
  z2mixer::Put32(&in[4], z2mixer::kMessageRoom);
  const size_t n = sim::SimHostDriver::kRequestsKept + 5;
  for (size_t i = 0; i < n; ++i) {
    z2mixer::Put32(&in[0], static_cast<uint32_t>(i % 2 ? 0 : 7));  // adapter 7 is not there: fails, still recorded
    driver_.Request(d, z2mixer::kFetch, in.data(), static_cast<uint32_t>(in.size()), out.data(),
                    static_cast<uint32_t>(out.size()), nullptr);
  }
  ASSERT_EQ(driver_.Requests().size(), sim::SimHostDriver::kRequestsKept);
  const auto& r = driver_.Requests().back();
  EXPECT_EQ(r.code, z2mixer::kFetch);
  EXPECT_EQ(r.size, z2mixer::kMessageRequestSize);
  EXPECT_EQ(r.in.size(), 8u);
  EXPECT_EQ(z2mixer::Get32(&r.in[0]), 7u);
  in[100] = 1;
  driver_.Request(d, z2mixer::kFetch, in.data(), static_cast<uint32_t>(in.size()), out.data(),
                  static_cast<uint32_t>(out.size()), nullptr);
  EXPECT_FALSE(driver_.Requests().back().restZero);
}

TEST_F(HalMidiTest, ReadFetchesWithoutWaiting) {
  driver_.SetAdapter(0, Unit(&unit_));
  CHalMIDI t;
  ASSERT_EQ(t.Open(), 0);
  uint8_t buf[4095];
  int got = 7;
  EXPECT_EQ(t.Read(buf, sizeof buf, &got), 0);
  EXPECT_EQ(got, 0) << "nothing selected";
  ASSERT_EQ(t.SelectConnection(0), 0);
  driver_.ClearRequests();
  EXPECT_EQ(t.Read(buf, sizeof buf, &got), 0);
  EXPECT_EQ(got, 0);
  EXPECT_GE(CountCode(z2mixer::kFetch), 1);
  EXPECT_LE(CountCode(z2mixer::kFetch), 3);

  unit_.Push(link_test::SysEx(150));
  EXPECT_EQ(t.Read(buf, 100, &got), 0);
  EXPECT_EQ(got, 100);
  EXPECT_EQ(t.Read(buf, sizeof buf, &got), 0);
  EXPECT_EQ(got, 0) << "the rest of a fetch is dropped";

  driver_.failFetch = true;
  EXPECT_EQ(t.Read(buf, sizeof buf, &got), 1);
}

TEST_F(HalMidiTest, NamesAndAdapterQueriesDescribeTheSelectedAdapter) {
  driver_.SetAdapter(1, Unit(&unit_, 0x26)).value = 0x00001234;
  CHalMIDI t;
  ASSERT_EQ(t.Open(), 0);
  char text[255] = "untouched";
  EXPECT_EQ(t.GetConnectionName(0, text, sizeof text), 1);
  EXPECT_EQ(t.GetAdapterInfo(), 0);
  ASSERT_EQ(t.SelectConnection(0), 0);
  EXPECT_EQ(t.GetConnectionName(7, text, sizeof text), 0);
  EXPECT_STREQ(text, "Thunderbolt");
  EXPECT_EQ(t.GetAdapterInfo(), 0x2614);

  driver_.ClearRequests();
  uint32_t value = 0;
  EXPECT_EQ(t.ReadAdapterValue(&value), 0);
  EXPECT_EQ(value, 0x1234u);
  const auto& r = driver_.Requests().back();
  EXPECT_EQ(r.code, z2mixer::kAdapterValue);
  EXPECT_EQ(r.in, (std::vector<uint8_t>{1, 0, 0x30, 0, 0x33, 0, 0xF2, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0}));

  driver_.AdapterAt(1).bus = 0x15;
  EXPECT_EQ(t.GetConnectionName(0, text, sizeof text), 0);
  EXPECT_STREQ(text, "Unknown!");
  driver_.AdapterAt(1).failInfo = true;
  EXPECT_EQ(t.GetAdapterInfo(), 0);
  driver_.RemoveAdapter(1);
  EXPECT_EQ(t.ReadAdapterValue(&value), 1);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(t.SetCardTarget(true), 1);
}

}  // namespace
