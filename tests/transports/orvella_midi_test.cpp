#include "transports/orvella_midi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "sim/links/sim_midi_service.h"
#include "tests/transports/link_test_support.h"

namespace {

using link_test::ProbePeer;
using platform::MidiTechnology;

class OrvellaMidiTest : public ::testing::Test {
 protected:
  OrvellaMidiTest() : clockGuard_(clock_), midiGuard_(midi_) {}

  std::string Name(COrvellaMIDI& t, uint16_t i) {
    char text[256] = {};
    t.GetConnectionName(i, text, sizeof text);
    return text;
  }
  uint16_t Connections(COrvellaMIDI& t) {
    uint16_t n = 0xFFFF;
    t.GetNumberOfConnections(&n);
    return n;
  }

  link_test::LogFolder log_;
  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> clockGuard_;
  sim::SimMidiService midi_;
  platform::Override<platform::MidiService> midiGuard_;
};

TEST_F(OrvellaMidiTest, SkipsLoopbacksAndSynthesizersAndKeepsOtherVirtualPorts) {
  ProbePeer unit, synth;
  midi_.AddOutput("Software Synthesizer", &synth, MidiTechnology::kSoftwareSynthesizer);
  midi_.AddLoopbackPorts("Loopback Virtual MIDI");
  midi_.AddLoopbackPorts("Virtual MIDI Bus 1");
  midi_.AddUnitPorts("Unit A", &unit);

  COrvellaMIDI t;
  ASSERT_EQ(t.Open(), 0);
  EXPECT_EQ(Connections(t), 1);
  EXPECT_EQ(Name(t, 0), "Unit A");
  EXPECT_TRUE(synth.frames.empty());
  EXPECT_TRUE(midi_.Sent(1).empty()) << "loopback output probed";
  EXPECT_EQ(midi_.Sent(2).size(), 1u) << "Virtual MIDI Bus 1 must be probed";
  EXPECT_EQ(midi_.InputOpenCount(0), 0) << "loopback input opened";
  EXPECT_EQ(midi_.InputOpenCount(1), 1);
  EXPECT_EQ(log_.Count("Found Out Port [Virtual MIDI Bus 1]\n"), 1);
  EXPECT_EQ(log_.Count("Found In Port [Virtual MIDI Bus 1]\n"), 1);
  EXPECT_EQ(log_.Count("Found Out Port [Unit A]\n"), 1);
  EXPECT_FALSE(log_.Contains("Loopback"));
  EXPECT_FALSE(log_.Contains("Synthesizer"));
  EXPECT_EQ(midi_.OpenHandles(), 0u) << "Open must leave no port open";
}

TEST_F(OrvellaMidiTest, APortNameWithControlCharactersIsLoggedAndNamedEscaped) {
  ProbePeer unit;
  midi_.AddUnitPorts("U\n2099 EEPROM Success\x1b[2J", &unit);  // names hold 31 characters
  COrvellaMIDI t;
  ASSERT_EQ(t.Open(), 0);
  ASSERT_EQ(Connections(t), 1);
  const std::string escaped = "U\\n2099 EEPROM Success\\x1b[2J";
  EXPECT_EQ(Name(t, 0), escaped);  // the name shown in the list and logged with it
  EXPECT_EQ(log_.Count("Found Out Port [" + escaped + "]\n"), 1);
  EXPECT_EQ(log_.Count("Found In Port [" + escaped + "]\n"), 1);
  EXPECT_FALSE(log_.Contains("\n2099"));
  EXPECT_FALSE(log_.Contains("\x1b"));
}

TEST_F(OrvellaMidiTest, NameFilterIsACaseSensitiveSubstring) {
  ProbePeer a, b;
  midi_.AddUnitPorts("Desk Interface 1", &a);
  midi_.AddUnitPorts("Rack Interface 2", &b);
  struct Case {
    const char* filter;
    int result;
    uint16_t connections;
  } cases[] = {{"Rack", 0, 1}, {"Interface", 0, 2}, {"rack", 1, 0}};
  for (const Case& c : cases) {
    COrvellaMIDI t;
    t.SetPortNameFilter(c.filter);
    EXPECT_EQ(t.Open(), c.result) << c.filter;
    EXPECT_EQ(Connections(t), c.connections) << c.filter;
  }
  COrvellaMIDI t;
  t.SetPortNameFilter("Rack");
  ASSERT_EQ(t.Open(), 0);
  EXPECT_EQ(Name(t, 0), "Rack Interface 2");
}

TEST_F(OrvellaMidiTest, NoUsableOutputStopsBeforeTheInputs) {
  midi_.AddOutput("Software Synthesizer", nullptr, MidiTechnology::kSoftwareSynthesizer);
  midi_.AddLoopbackPorts("Loopback Virtual MIDI");
  midi_.AddInput("Unit In", nullptr);
  COrvellaMIDI t;
  EXPECT_EQ(t.Open(), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Open: No Output Ports\n"), 1);
  EXPECT_FALSE(log_.Contains("Found In Port"));
  EXPECT_EQ(midi_.InputOpenCount(1), 0);
}

TEST_F(OrvellaMidiTest, NoUsableInput) {
  midi_.AddOutput("Unit Out", nullptr);
  COrvellaMIDI t;
  EXPECT_EQ(t.Open(), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Open: No Input Ports\n"), 1);
}

TEST_F(OrvellaMidiTest, PairsTheAnsweringInputWithTheOutputTheAnswerNames) {
  ProbePeer unit;
  midi_.AddOutput("Out 0", nullptr);
  midi_.AddOutput("Out 1", nullptr);
  midi_.AddOutput("Out 2", nullptr);
  midi_.AddOutput("Out 3", &unit);
  midi_.AddInput("In 0", nullptr);
  midi_.AddInput("In 1", &unit);

  COrvellaMIDI t;
  ASSERT_EQ(t.Open(), 0);
  ASSERT_EQ(Connections(t), 1);
  ASSERT_EQ(unit.frames.size(), 1u);
  EXPECT_EQ(unit.frames[0], (std::vector<uint8_t>{0xF0, 0x00, 0x01, 0x54, 0x6A, 0x0C, 0x00, 0xF7}));
  EXPECT_EQ(Name(t, 0), "Out 3");
  ASSERT_EQ(t.SelectConnection(0), 0);
  EXPECT_EQ(midi_.OutputOpenCount(3), 2);  // probe, then the selection
  EXPECT_EQ(midi_.InputOpenCount(1), 2);
  EXPECT_TRUE(t.IsOpen());
}

TEST_F(OrvellaMidiTest, TwoUnitsAreNumberedInInputPortOrder) {
  ProbePeer first, second;
  midi_.AddOutput("Second Out", &second);
  midi_.AddOutput("First Out", &first);
  midi_.AddInput("First In", &first);
  midi_.AddInput("Second In", &second);
  COrvellaMIDI t;
  ASSERT_EQ(t.Open(), 0);
  ASSERT_EQ(Connections(t), 2);
  EXPECT_EQ(Name(t, 0), "First Out");
  EXPECT_EQ(Name(t, 1), "Second Out");
}

TEST_F(OrvellaMidiTest, AnswersOfTheWrongShapeGiveNoConnection) {
  struct Case {
    const char* what;
    ProbePeer::Reply reply;
  } cases[] = {
      {"9 bytes",
       [](const std::vector<uint8_t>& f) {
         auto a = ProbePeer::ProperAnswer(f);
         a.erase(a.begin() + 6);
         return a;
       }},
      {"11 bytes",
       [](const std::vector<uint8_t>& f) {
         auto a = ProbePeer::ProperAnswer(f);
         a.insert(a.begin() + 6, 0x00);
         return a;
       }},
      {"command other than register data",
       [](const std::vector<uint8_t>& f) {
         auto a = ProbePeer::ProperAnswer(f);
         a[4] = static_cast<uint8_t>((a[4] & 0x07) | 0x68);
         return a;
       }},
      {"another maker",
       [](const std::vector<uint8_t>& f) {
         auto a = ProbePeer::ProperAnswer(f);
         a[3] = 0x55;
         return a;
       }},
      {"names an output nobody probed",
       [](const std::vector<uint8_t>& f) {
         auto a = ProbePeer::ProperAnswer(f);
         a[5] = static_cast<uint8_t>(a[5] + 4 * 5);
         return a;
       }},
  };
  for (const Case& c : cases) {
    sim::SimMidiService midi;
    platform::Override<platform::MidiService> guard(midi);
    ProbePeer unit;
    unit.reply = c.reply;
    midi.AddUnitPorts("Unit", &unit);
    COrvellaMIDI t;
    EXPECT_EQ(t.Open(), 1) << c.what;
    EXPECT_EQ(Connections(t), 0) << c.what;
    EXPECT_EQ(midi.OpenHandles(), 0u) << c.what;
  }
}

TEST_F(OrvellaMidiTest, SilenceEndsEveryInputWithTheTimeoutLinesAfterHalfASecond) {
  midi_.AddOutput("Out", nullptr);
  midi_.AddInput("In A", nullptr);
  midi_.AddInput("In B", nullptr);
  midi_.AddInput("In C", nullptr);
  midi_.InputFaults(2).failOpen = true;  // never completes either
  COrvellaMIDI t;
  const uint32_t start = clock_.Peek();
  EXPECT_EQ(t.Open(), 1);
  const uint32_t took = clock_.Peek() - start;
  EXPECT_GE(took, 500u);
  EXPECT_LE(took, 520u);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Open: Input WaitForDone Timeout!\n"), 3);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Open: midiInOpen [2] FAILED! [67]\n"), 1);
  auto lines = log_.Lines();
  int pairs = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].rfind("COrvellaMIDI::WaitForDone Timeout! Elapsed ", 0) == 0 &&
        lines[i].find(" Timeout 500\n") != std::string::npos &&
        lines[i + 1] == "COrvellaMIDI::Open: Input WaitForDone Timeout!\n") {
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, 3);
  EXPECT_EQ(midi_.OpenHandles(), 0u);
}

// A probe that cannot be sent ends Open at once: the inputs already
// listening (each with its buffer queued) and the outputs opened so far are
// all taken down, and a later Open starts from nothing.
TEST_F(OrvellaMidiTest, AProbeThatFailsTakesEveryOpenedPortDown) {
  ProbePeer a, b;
  midi_.AddUnitPorts("Unit A", &a);
  midi_.AddUnitPorts("Unit B", &b);
  midi_.OutputFaults(1).failSends = true;
  COrvellaMIDI t;
  EXPECT_EQ(t.Open(), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Open: Write Failed! 00000001\n"), 1);
  EXPECT_EQ(midi_.OpenHandles(), 0u);
  EXPECT_EQ(midi_.InputOpenCount(0), 1);
  EXPECT_EQ(midi_.InputOpenCount(1), 1);
  midi_.OutputFaults(1).failSends = false;
  EXPECT_EQ(t.Open(), 0);
  EXPECT_EQ(Connections(t), 2);
  EXPECT_EQ(midi_.OpenHandles(), 0u);
}

class SelectedMidiTest : public OrvellaMidiTest {
 protected:
  void SetUp() override {
    midi_.AddUnitPorts("Unit A", &a_);
    midi_.AddUnitPorts("Unit B", &b_);
    ASSERT_EQ(t_.Open(), 0);
    ASSERT_EQ(t_.SelectConnection(0), 0);
  }
  ProbePeer a_, b_;
  COrvellaMIDI t_;
};

TEST_F(SelectedMidiTest, SelectingTheSameIndexTouchesNothingAndABadIndexKeepsTheSelection) {
  EXPECT_EQ(t_.SelectConnection(0), 0);
  EXPECT_EQ(midi_.OutputOpenCount(0), 2);
  EXPECT_EQ(midi_.InputOpenCount(0), 2);
  EXPECT_EQ(t_.SelectConnection(0x8000), 1);
  uint16_t selected = 0;
  t_.GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 0);
  EXPECT_TRUE(t_.IsOpen());

  ASSERT_EQ(t_.SelectConnection(1), 0);
  EXPECT_EQ(midi_.OpenHandles(), 2u) << "the previous pair must be closed";
  t_.Close();
  t_.GetSelectedConnection(&selected);
  EXPECT_EQ(selected, 0xFFFF);
  EXPECT_FALSE(t_.IsOpen());
  EXPECT_EQ(midi_.OpenHandles(), 0u);
  EXPECT_EQ(t_.SetCardTarget(true), 1);
}

TEST_F(SelectedMidiTest, ReadHandsOverOneBufferAtATime) {
  struct Case {
    size_t message;
    int size;
    std::vector<int> reads;  // what successive Reads deliver
  } cases[] = {
      {150, 100, {100, 0}},       // the tail of a buffer is dropped
      {10, 4095, {10, 0}},
      {600, 4095, {512, 88, 0}},  // a long message spans buffers
  };
  for (const Case& c : cases) {
    a_.Push(link_test::SysEx(c.message));
    std::vector<uint8_t> buf(4095);
    for (int expected : c.reads) {
      int got = -1;
      ASSERT_EQ(t_.Read(buf.data(), c.size, &got), 0);
      EXPECT_EQ(got, expected) << c.message;
    }
  }
}

TEST_F(SelectedMidiTest, ReadKeepsOnlySysExAmidNoise) {
  midi_.InputFaults(0).activeSensing = true;
  midi_.InputFaults(0).channelNoise = true;
  auto message = link_test::SysEx(40, 0x22);
  a_.Push(message);
  uint8_t buf[512];
  int got = 0;
  ASSERT_EQ(t_.Read(buf, sizeof buf, &got), 0);
  ASSERT_EQ(got, 40);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + got), message);
}

TEST_F(SelectedMidiTest, WriteSendsTheFrameUnchanged) {
  auto message = link_test::SysEx(152, 0x05);
  ASSERT_EQ(t_.Write(message.data(), static_cast<int>(message.size())), 0);
  ASSERT_EQ(a_.frames.size(), 2u);
  EXPECT_EQ(a_.frames[1], message);
  EXPECT_TRUE(b_.frames.size() == 1u);
}

// Write leaves its own message with the service, so a stalled one fails
// whichever call waits for it next: the next Write, a Read, or Close.
TEST_F(SelectedMidiTest, AStalledSendFailsTheNextCallAndIsTakenBack) {
  enum class Next { kWrite, kRead, kClose };
  for (Next next : {Next::kWrite, Next::kRead, Next::kClose}) {
    SCOPED_TRACE(static_cast<int>(next));
    midi_.OutputFaults(0).stallSends = true;
    auto message = link_test::SysEx(10);
    const int before = log_.Count("COrvellaMIDI::WaitForDone Timeout! Elapsed 7 Timeout 6\n");
    EXPECT_EQ(t_.Write(message.data(), 10), 0) << "the message is only handed over";
    uint8_t buf[64];
    int got = 0;
    switch (next) {
      case Next::kWrite:
        EXPECT_EQ(t_.Write(message.data(), 10), 1);
        EXPECT_EQ(log_.Count("COrvellaMIDI::Write: WaitForDone Timeout!\n"), 1);
        break;
      case Next::kRead:
        EXPECT_EQ(t_.Read(buf, sizeof buf, &got), 0) << "not yet past its time-out";
        clock_.Advance(7);
        EXPECT_EQ(t_.Read(buf, sizeof buf, &got), 1);
        EXPECT_EQ(got, 0);
        EXPECT_EQ(log_.Count("COrvellaMIDI::Write: WaitForDone Timeout!\n"), 2);
        break;
      case Next::kClose:
        EXPECT_EQ(t_.Close(), 0);
        EXPECT_EQ(log_.Count("COrvellaMIDI::Close: WaitForDone Timeout!\n"), 1);
        ASSERT_EQ(t_.SelectConnection(0), 0);
        break;
    }
    EXPECT_EQ(log_.Count("COrvellaMIDI::WaitForDone Timeout! Elapsed 7 Timeout 6\n"), before + 1);
    // The buffers are back; the service must not reach for them again.
    midi_.OutputFaults(0).stallSends = false;
    midi_.Poll();
    EXPECT_EQ(t_.Write(message.data(), 10), 0);
    EXPECT_EQ(t_.Read(buf, sizeof buf, &got), 0);
  }
}

// A failure the service reports on a send it had taken is a failed Write.
TEST_F(SelectedMidiTest, ASendTheServiceCouldNotCompleteFailsTheLink) {
  midi_.OutputFaults(0).failSends = true;
  auto message = link_test::SysEx(10);
  EXPECT_EQ(t_.Write(message.data(), 10), 0);
  EXPECT_EQ(t_.Write(message.data(), 10), 1);
  uint8_t buf[16];
  int got = 0;
  EXPECT_EQ(t_.Read(buf, sizeof buf, &got), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Write: midiOutLongMsg [67] Failed!\n"), 2);
  // A message too long to pipeline is waited for in full, and fails the same.
  auto big = link_test::SysEx(COrvellaMIDI::kSendSize + 1);
  EXPECT_EQ(t_.Write(big.data(), static_cast<int>(big.size())), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Write: midiOutLongMsg [67] Failed!\n"), 3);
  midi_.OutputFaults(0).failSends = false;
  EXPECT_EQ(t_.Write(message.data(), 10), 0);
  EXPECT_EQ(t_.Close(), 0);
}

// One unit behind a MIDI service that paces each message at the wire's
// rate, opened and selected.
class PacedMidiTest : public ::testing::Test {
 protected:
  // `latencyMs` is added to every byte's way.
  void Connect(uint32_t latencyMs) {
    midi_.emplace(sim::SimMidiOptions{true, latencyMs});
    useMidi_.emplace(*midi_);
    midi_->AddUnitPorts("Unit", &unit_);
    ASSERT_EQ(t_.Open(), 0) << ::testing::PrintToString(log_.Lines());
    ASSERT_EQ(t_.SelectConnection(0), 0);
  }

  link_test::LogFolder log_;
  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> useClock_{clock_};
  std::optional<sim::SimMidiService> midi_;
  std::optional<platform::Override<platform::MidiService>> useMidi_;
  ProbePeer unit_;
  COrvellaMIDI t_;
};

// On a paced wire the messages of a packet follow each other without a
// rest: the whole sequence takes its wire time, not a millisecond more per
// message, and still arrives whole and in order.
TEST_F(PacedMidiTest, ConsecutiveMessagesLeaveBackToBack) {
  ASSERT_NO_FATAL_FAILURE(Connect(0));
  unit_.frames.clear();

  const std::vector<size_t> lengths = {8, 8, 8, 152, 8, 8, 8, 152};
  const uint32_t start = clock_.Peek();
  for (size_t i = 0; i < lengths.size(); ++i) {
    auto m = link_test::SysEx(lengths[i], static_cast<uint8_t>(0x10 + i));
    ASSERT_EQ(t_.Write(m.data(), static_cast<int>(m.size())), 0);
  }
  ASSERT_EQ(t_.Close(), 0);  // waits for the last one
  const uint32_t elapsed = clock_.Peek() - start;  // 352 bytes on the wire: 112.64 ms
  EXPECT_GE(elapsed, 112u);
  EXPECT_LE(elapsed, 115u) << "the wire rested between messages";
  ASSERT_EQ(unit_.frames.size(), lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i) {
    EXPECT_EQ(unit_.frames[i], link_test::SysEx(lengths[i], static_cast<uint8_t>(0x10 + i)));
  }
}

TEST_F(SelectedMidiTest, ClosedOrMissingPortsFailCleanly) {
  midi_.RemoveOutput(0);
  char text[256];
  EXPECT_EQ(t_.GetConnectionName(0, text, sizeof text), 1);
  EXPECT_STREQ(text, "midiOutGetDevCaps Error");
  char small[6];
  EXPECT_EQ(t_.GetConnectionName(1, small, sizeof small), 0);
  EXPECT_STREQ(small, "Unit ");

  t_.Close();
  uint8_t buf[8];
  int got = 5;
  EXPECT_EQ(t_.Read(buf, sizeof buf, &got), 1);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(t_.Write(buf, 8), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Read: m_hMidiIn NULL!\n"), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Write: hMidiOut is NULL!\n"), 1);
}

TEST_F(PacedMidiTest, WriteOfTenBytesWaitsAtMostSixMilliseconds) {
  ASSERT_NO_FATAL_FAILURE(Connect(1));
  auto message = link_test::SysEx(10);
  const uint32_t start = clock_.Peek();
  EXPECT_EQ(t_.Write(message.data(), 10), 0);
  EXPECT_LE(clock_.Peek() - start, 6u);
  EXPECT_EQ(COrvellaMIDI::SendTimeout(8), 5u);
  EXPECT_EQ(COrvellaMIDI::SendTimeout(152), 97u);
}

}  // namespace
