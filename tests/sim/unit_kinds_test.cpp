// Every unit kind through the engine and the MIDI transport: what each
// model checks, how registers above 255 reach it, and its idle polling.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "sim/scenarios/scenarios.h"
#include "sim/unit/unit_model.h"

namespace {

struct Kind {
  const char* name;
  uint8_t productId;
  uint8_t register6;
  uint8_t major;
  bool fullProtocol;  // register 52 check, size, long register forms
};

const Kind kKinds[] = {
    {"Orvella(n)", 96, 0, 1, true},
    {"Orvella(n) reporting 38", 38, 96, 1, true},
    {"Orvella 16", 38, 0, 20, false},
    {"Orvella 8", 39, 0, 12, false},
    {"Tervik Signalport 4x4", 128, 0, 3, false},
    {"Vinto", 49, 0, 6, true},
};

class UnitKindsTest : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    sim::UnitConfig config;
    config.productId = GetParam().productId;
    config.register6 = GetParam().register6;
    config.major = GetParam().major;
    scenario_.AddMidiUnit(config);
    scenario_.Install();
    remote_.SetInterfaceMask(kMaskMidi);
    ASSERT_EQ(remote_.Open(), 0);
    ASSERT_EQ(remote_.SelectConnection(0), 0);
  }
  sim::UnitModel& Unit() { return *scenario_.Units().at(0); }

  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> useClock_{clock_};
  sim::Scenario scenario_{"kinds", sim::ScenarioOptions{}};
  COrvellaRemote remote_;
};

// A named scenario's first unit, reached over MIDI on a virtual clock.
class UnitKindScenario : public ::testing::Test {
 protected:
  void Load(const char* name) {
    scenario_ = sim::MakeScenario(name);
    ASSERT_TRUE(scenario_);
  }
  // Installs the scenario, opens the engine and selects the unit.
  void Connect() {
    scenario_->Install();
    remote_.SetInterfaceMask(kMaskMidi);
    ASSERT_EQ(remote_.Open(), 0);
    ASSERT_EQ(remote_.SelectConnection(0), 0);
  }
  sim::UnitModel& Unit() { return *scenario_->Units().at(0); }

  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> useClock_{clock_};
  std::unique_ptr<sim::Scenario> scenario_;
  COrvellaRemote remote_;
};

// The update's main-unit sequence, as the window runs it, ends with the
// image in the unit's PROM whatever the model: a unit that demanded the
// packet check or the size the engine does not send it would refuse.
TEST_P(UnitKindsTest, TakesAnImageTheWayTheEngineSendsItToThatModel) {
  std::vector<uint8_t> image(1000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
  std::vector<uint8_t> padded = image;
  padded.resize(1024, 0);
  const int writesBefore = Unit().CountReceived(codec::kWrite);

  remote_.SetPollMode(kPollTransfer);
  remote_.SelectZSlotFirmware(false);
  remote_.SetFirmwareSize(static_cast<uint32_t>(image.size()));
  remote_.SelectBank(1);
  for (size_t off = 0; off < padded.size(); off += 128) {
    ASSERT_EQ(remote_.WriteFirmwarePacket(padded.data() + off, 128), 0);
    uint8_t status = PIP;
    for (int pass = 0; pass < 100 && (status & 0x3F) == PIP; ++pass) remote_.GetProgrammingStatus(&status);
    ASSERT_EQ(status & 0x3F, 0) << "packet at " << off;
  }
  remote_.SetPollMode(kPollProgress);
  uint8_t state = 0, percent = 0, aux = 0;
  for (int pass = 0; pass < 5000 && state != 6; ++pass) {
    clock_.Advance(1);
    remote_.GetProgrammingProgress(&state, &percent, &aux);
  }
  ASSERT_EQ(state, 6);
  // A model that knows the size keeps exactly the image; the others keep
  // whole packets.
  EXPECT_EQ(Unit().Prom(1), GetParam().fullProtocol ? image : padded);
  EXPECT_TRUE(Unit().Prom(0).empty());
  // Register 52 before each of the 8 packets and the four size registers,
  // or neither, and the select write of register 5 either way.
  EXPECT_EQ(Unit().CountReceived(codec::kWrite) - writesBefore, GetParam().fullProtocol ? 8 + 4 + 1 : 1);
}

// Registers above 255: a long write to the models that read 16-bit
// addresses, a short one with bit 8 to the others, and either way the
// value lands in the right register; a read back the same way.
TEST_P(UnitKindsTest, ReachesRegistersAbove255InItsOwnForm) {
  ASSERT_EQ(remote_.WriteRegister(300, 0x5A), 0);
  EXPECT_EQ(Unit().Register(300), 0x5A);
  EXPECT_EQ(Unit().Register(44), 0) << "bit 8 lost on the way";
  Unit().SetRegister(301, 0x66);
  ASSERT_EQ(remote_.RequestRegisterStatusVerified(256, 319), 0);
  uint8_t value = 0;
  remote_.ReadRegister(301, &value);
  EXPECT_EQ(value, 0x66);
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnitKindsTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return n;
                         });

// A model of 9-bit addresses does not understand the long forms: a long
// write to it changes nothing (the engine must not send one).
TEST(UnitKinds, ShortFormModelsIgnoreLongRegisterForms) {
  platform::VirtualClock clock{1000, 0, 0};
  platform::Override<platform::Clock> useClock(clock);
  for (uint8_t id : {38, 39, 128, 49}) {
    sim::UnitConfig config;
    config.productId = id;
    sim::UnitModel unit(config);
    uint8_t frame[codec::kLongWriteLength];
    codec::BuildLongWrite(frame, 1500, 0x33);
    unit.FromHost(frame, sizeof frame, false);
    EXPECT_EQ(unit.Register(1500), id == 49 ? 0x33 : 0) << int{id};
  }
}

// The Vinto's selection reads its extended register blocks with long
// requests, and the long answers (the 1024-register block spans three
// receive buffers) land in the image.
TEST_F(UnitKindScenario, AVintoIsReadThroughItsExtendedAddresses) {
  ASSERT_NO_FATAL_FAILURE(Load("vinto"));
  Unit().SetRegister(500, 0x21);
  Unit().SetRegister(2000, 0x42);
  ASSERT_NO_FATAL_FAILURE(Connect());
  EXPECT_TRUE(remote_.IsVinto());
  uint8_t value = 0;
  remote_.ReadRegister(500, &value);
  EXPECT_EQ(value, 0x21);
  remote_.ReadRegister(2000, &value);
  EXPECT_EQ(value, 0x42);
  char text[260] = {};
  uint8_t product = 0;
  ASSERT_EQ(remote_.GetConnectionDescription(1, text, sizeof text, &product), 0);
  EXPECT_EQ(product, 96);
}

// Idle, an Orvella 16 is kept alive by its rolling schedule: the answers
// keep the link from being taken for lost and bring in the registers the
// schedule names, the high ones included (firmware 20).
TEST_F(UnitKindScenario, AnOrvella16IdlesOnItsRollingSchedule) {
  ASSERT_NO_FATAL_FAILURE(Load("orvella16"));
  ASSERT_NO_FATAL_FAILURE(Connect());
  EXPECT_TRUE(remote_.IsHighRegisterRange());
  Unit().SetRegister(150, 0x15);
  Unit().SetRegister(330, 0x33);
  remote_.SetPollMode(kPollIdle);
  for (int pass = 0; pass < 500; ++pass) {
    clock_.Advance(20);
    remote_.Poll();
  }
  uint8_t lost = 1, value = 0;
  remote_.IsConnectionLost(&lost);
  EXPECT_EQ(lost, 0);
  remote_.ReadRegister(150, &value);
  EXPECT_EQ(value, 0x15);
  remote_.ReadRegister(330, &value);
  EXPECT_EQ(value, 0x33);
}

}  // namespace
