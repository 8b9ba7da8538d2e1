#include "platform/midi/alsa_midi_service.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/input_wait.h"
#include "tests/transports/link_test_support.h"
#include "transports/orvella_midi.h"

namespace {

bool HaveSequencer() { return access("/dev/snd/seq", R_OK | W_OK) == 0; }

TEST(AlsaMidiTest, WithoutASequencerThereAreNoPortsAndNoComplaint) {
  if (HaveSequencer()) GTEST_SKIP() << "this machine has an ALSA sequencer";
  link_test::LogFolder log;
  platform::AlsaMidiService alsa;
  platform::Override<platform::MidiService> guard(alsa);
  testing::internal::CaptureStderr();
  EXPECT_EQ(alsa.OutputCount(), 0u);
  EXPECT_EQ(alsa.InputCount(), 0u);
  platform::MidiHandle h = 7;
  EXPECT_EQ(alsa.OpenOutput(0, &h), platform::kMidiBadDevice);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(platform::SystemSequencer().Open(), -ENOENT) << "the sequencer says why, as an errno";
  alsa.Poll();
  COrvellaMIDI t;
  EXPECT_EQ(t.Open(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(log.Count("COrvellaMIDI::Open: No Output Ports\n"), 1);
}

TEST(AlsaMidiTest, ListsDescribesAndOpensTheSequencerPorts) {
  if (!HaveSequencer()) GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq is missing)";
  link_test::LogFolder log;
  platform::AlsaMidiService alsa;
  ASSERT_TRUE(alsa.Available());
  const uint32_t outputs = alsa.OutputCount();
  const uint32_t inputs = alsa.InputCount();
  platform::MidiDeviceInfo info;
  for (uint32_t d = 0; d < outputs; ++d) {
    ASSERT_EQ(alsa.OutputInfo(d, &info), 0);
    EXPECT_LT(std::strlen(info.name), platform::kMidiNameSize);
  }
  for (uint32_t d = 0; d < inputs; ++d) ASSERT_EQ(alsa.InputInfo(d, &info), 0);
  EXPECT_EQ(alsa.OutputInfo(outputs, &info), platform::kMidiBadDevice);
  if (outputs > 0) {
    platform::MidiHandle h = 0;
    ASSERT_EQ(alsa.OpenOutput(0, &h), 0);
    EXPECT_EQ(alsa.CloseOutput(h), 0);
  }
  if (inputs > 0) {
    platform::MidiHandle h = 0;
    ASSERT_EQ(alsa.OpenInput(0, &h), 0);
    uint8_t data[32];
    platform::MidiBuffer b;
    b.data = data;
    b.length = sizeof data;
    ASSERT_EQ(alsa.PrepareBuffer(h, &b), 0);
    ASSERT_EQ(alsa.AddInputBuffer(h, &b), 0);
    ASSERT_EQ(alsa.StartInput(h), 0);
    alsa.Poll();
    EXPECT_EQ(alsa.CloseInput(h), 0);
    EXPECT_TRUE(b.done) << "close gives queued buffers back";
    EXPECT_EQ(alsa.UnprepareBuffer(h, &b), platform::kMidiBadHandle);
  }
}

// The sequencer as the service sees it: ports to list, what was sent, and
// scripted input (events, or errors in their place).
class FakeSequencer final : public platform::Sequencer {
 public:
  struct Made {
    std::string name;
    unsigned caps;
    int connectedClient = -1;
  };
  struct Input {
    int result = 1;  // 1: `bytes` as one event; otherwise the error to return
    int dest = 0;
    bool sysex = true;
    std::vector<uint8_t> bytes;
  };

  std::vector<platform::SeqPortInfo> ports;
  std::vector<Made> made;  // our ports, by number
  std::vector<std::vector<uint8_t>> sent;
  std::deque<int> sendResults;  // consumed per SendSysEx; 0 once empty
  std::deque<Input> input;
  int persistentError = 0;  // returned by Receive once the script is used up
  std::vector<int> descriptors;  // what InputDescriptors reports

  int openResult = 0;
  int findResult = 0;
  int createResult = 0;   // a negative errno makes CreatePort fail
  int connectResult = 0;  // likewise ConnectFrom/ConnectTo
  size_t deleted = 0;

  int Open() override { return openResult; }
  std::vector<platform::SeqPortInfo> Ports() override { return ports; }
  int FindPort(int, int) override { return findResult; }
  int CreatePort(const std::string& name, unsigned caps, unsigned) override {
    if (createResult < 0) return createResult;
    made.push_back({name, caps});
    return static_cast<int>(made.size() - 1);
  }
  int DeletePort(int) override {
    ++deleted;
    return 0;
  }
  int ConnectFrom(int local, int client, int) override {
    if (connectResult < 0) return connectResult;
    made[local].connectedClient = client;
    return 0;
  }
  int ConnectTo(int local, int client, int port) override { return ConnectFrom(local, client, port); }
  int DisconnectFrom(int, int, int) override { return 0; }
  int DisconnectTo(int, int, int) override { return 0; }
  int SendSysEx(int, const uint8_t* data, uint32_t length) override {
    int r = 0;
    if (!sendResults.empty()) {
      r = sendResults.front();
      sendResults.pop_front();
    }
    if (r == 0) sent.emplace_back(data, data + length);
    return r;
  }
  std::vector<int> InputDescriptors() override { return descriptors; }
  int Receive(platform::SeqEvent* event) override {
    if (input.empty()) return persistentError;
    current_ = input.front();
    input.pop_front();
    if (current_.result != 1) return current_.result;
    event->destPort = current_.dest;
    event->sysex = current_.sysex;
    event->data = current_.bytes.data();
    event->length = static_cast<uint32_t>(current_.bytes.size());
    return 1;
  }

 private:
  Input current_;
};

constexpr unsigned kDuplex = platform::seq::kCapRead | platform::seq::kCapSubsRead | platform::seq::kCapWrite |
                             platform::seq::kCapSubsWrite;

class AlsaLogicTest : public ::testing::Test {
 protected:
  AlsaLogicTest() {
    fake_.ports = {
        {20, 0, "Interface MIDI 1", kDuplex, platform::seq::kTypeHardware | platform::seq::kTypeMidiGeneric},
        {128, 0, "Soft Synth", platform::seq::kCapWrite | platform::seq::kCapSubsWrite,
         platform::seq::kTypeSynthesizer | platform::seq::kTypeSoftware},
        {129, 0, "Other Program", kDuplex, platform::seq::kTypeApplication},
        {130, 0, "Hidden", kDuplex | platform::seq::kCapNoExport, platform::seq::kTypeHardware},
    };
  }
  // Opens the transport on the interface (input 0 = output 0 = the
  // hardware port) with a unit that answers every probe.
  void Select() {
    fake_.input.push_back({1, 0, true, {0xF0, 0x00, 0x01, 0x54, 0x72, 0x00, 0x00, 0x00, 0x00, 0xF7}});
    ASSERT_EQ(t_.Open(), 0);
    ASSERT_EQ(t_.SelectConnection(0), 0);
    fake_.sent.clear();
  }
  int InputPort() const {  // our port of the selected connection's input
    return static_cast<int>(fake_.made.size()) - 1;
  }

  link_test::LogFolder log_;
  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> clockGuard_{clock_};
  FakeSequencer fake_;
  platform::AlsaMidiService alsa_{fake_};
  platform::Override<platform::MidiService> midiGuard_{alsa_};
  COrvellaMIDI t_;
};

TEST_F(AlsaLogicTest, ListsOtherProgramsPortsByKindAndMakesOurOwnUnreachable) {
  ASSERT_EQ(alsa_.OutputCount(), 3u);
  ASSERT_EQ(alsa_.InputCount(), 2u);
  platform::MidiDeviceInfo info;
  const platform::MidiTechnology kinds[] = {platform::MidiTechnology::kMidiPort,
                                            platform::MidiTechnology::kSoftwareSynthesizer,
                                            platform::MidiTechnology::kApplication};
  for (uint32_t d = 0; d < 3; ++d) {
    ASSERT_EQ(alsa_.OutputInfo(d, &info), 0);
    EXPECT_EQ(info.technology, kinds[d]) << info.name;
  }
  Select();
  ASSERT_FALSE(fake_.made.empty());
  for (const auto& port : fake_.made) {
    SCOPED_TRACE(port.name);
    EXPECT_TRUE(port.caps & platform::seq::kCapNoExport);
    EXPECT_FALSE(port.caps & (platform::seq::kCapSubsRead | platform::seq::kCapSubsWrite));
  }
  EXPECT_EQ(fake_.made.back().name, "from Interface MIDI 1");
  EXPECT_EQ(fake_.made.back().connectedClient, 20);
}

// A send is done when its bytes have had their time at 31,250 baud, after
// what went before it; the sequencer taking it is not enough.
TEST_F(AlsaLogicTest, ASendIsDoneOnlyOnceItsBytesHaveLeft) {
  Select();
  platform::MidiHandle out = 0;
  ASSERT_EQ(alsa_.OpenOutput(0, &out), platform::kMidiOk);
  uint8_t a[10] = {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7};
  uint8_t b[20] = {0xF0};
  b[19] = 0xF7;
  platform::MidiBuffer ba, bb;
  ba.data = a;
  ba.length = sizeof a;
  bb.data = b;
  bb.length = sizeof b;
  ASSERT_EQ(alsa_.PrepareBuffer(out, &ba), 0);
  ASSERT_EQ(alsa_.PrepareBuffer(out, &bb), 0);
  ASSERT_EQ(alsa_.SendSysEx(out, &ba), 0);
  ASSERT_EQ(alsa_.SendSysEx(out, &bb), 0);
  EXPECT_EQ(fake_.sent.size(), 2u) << "both handed over at once, in order";
  struct Step {
    uint32_t at;  // ms after the sends
    bool aDone, bDone;
  } steps[] = {{3, false, false}, {4, true, false}, {9, true, false}, {10, true, true}};
  const uint32_t start = clock_.Peek();
  for (const Step& s : steps) {
    clock_.Advance(start + s.at - clock_.Peek());
    alsa_.Poll();
    EXPECT_EQ(ba.done, s.aDone) << s.at;
    EXPECT_EQ(bb.done, s.bDone) << s.at;
  }
  EXPECT_EQ(ba.error, 0);
  alsa_.CloseOutput(out);
}

// What the idle waits of the loops block on.
class RecordingInputWait final : public platform::InputWait {
 public:
  std::set<int> watched;
  void Watch(int fd) override { watched.insert(fd); }
  void Forget(int fd) override { watched.erase(fd); }
  bool Wait(uint32_t) override { return !watched.empty(); }
};

// Idle waits block on the sequencer's descriptor while an input port is
// open, except while a send the sequencer could not take yet waits for the
// next poll: only the clock brings that.
TEST_F(AlsaLogicTest, IdleWaitsBlockOnTheSequencerWhileOnlyInputCanChange) {
  RecordingInputWait wait;
  platform::Override<platform::InputWait> waitGuard(wait);
  fake_.descriptors = {42};
  Select();
  EXPECT_EQ(wait.watched, std::set<int>{42});
  auto m = link_test::SysEx(8);
  fake_.sendResults = {-EAGAIN};
  EXPECT_EQ(t_.Write(m.data(), 8), 0);
  EXPECT_TRUE(wait.watched.empty());
  alsa_.Poll();  // the pool has room again
  EXPECT_EQ(fake_.sent.size(), 1u);
  EXPECT_EQ(wait.watched, std::set<int>{42});
  EXPECT_EQ(t_.Close(), 0);
  EXPECT_TRUE(wait.watched.empty());
}

// Whatever the sequencer refuses, and however a caller misuses the service,
// the caller gets one of the service's codes back (never an errno), the
// handle stays empty, and the log says what the OS said.
TEST_F(AlsaLogicTest, EveryFailureIsOneOfTheServicesCodes) {
  platform::MidiHandle h = 9;
  alsa_.OutputCount();
  fake_.createResult = -ENOMEM;
  EXPECT_EQ(alsa_.OpenOutput(0, &h), platform::kMidiNoMemory);
  EXPECT_EQ(h, 0u);
  fake_.createResult = 0;
  fake_.connectResult = -EPERM;
  EXPECT_EQ(alsa_.OpenInput(0, &h), platform::kMidiNotReady);
  EXPECT_EQ(fake_.deleted, 1u) << "the port made for it is taken down again";
  EXPECT_EQ(log_.Count("ALSA: connecting to port 20:0 failed: " + std::string(std::strerror(EPERM)) + "\n"), 1);
  fake_.connectResult = -ENOENT;
  EXPECT_EQ(alsa_.OpenOutput(0, &h), platform::kMidiBadDevice) << "the port went away after the listing";
  fake_.connectResult = 0;
  fake_.findResult = -ENOENT;
  platform::MidiDeviceInfo info;
  EXPECT_EQ(alsa_.OutputInfo(0, &info), platform::kMidiBadDevice);
  EXPECT_EQ(alsa_.OpenOutput(0, &h), platform::kMidiBadDevice);
  fake_.findResult = 0;

  ASSERT_EQ(alsa_.OpenOutput(0, &h), platform::kMidiOk);
  uint8_t data[8] = {0xF0, 0x00, 0x01, 0x54, 0x00, 0x00, 0x00, 0xF7};
  platform::MidiBuffer b;
  b.data = data;
  b.length = sizeof data;
  EXPECT_EQ(alsa_.SendSysEx(h, &b), platform::kMidiUnprepared);
  EXPECT_EQ(alsa_.PrepareBuffer(h + 1, &b), platform::kMidiBadHandle);
  ASSERT_EQ(alsa_.PrepareBuffer(h, &b), platform::kMidiOk);
  fake_.sendResults = {-EBUSY};
  EXPECT_EQ(alsa_.SendSysEx(h, &b), platform::kMidiOk) << "taken; refused inside";
  EXPECT_TRUE(b.done);
  EXPECT_EQ(b.error, platform::kMidiAllocated);
  EXPECT_EQ(alsa_.AddInputBuffer(h, &b), platform::kMidiBadHandle) << "an output is not an input";
  EXPECT_EQ(alsa_.CloseOutput(h), platform::kMidiOk);
  EXPECT_EQ(alsa_.CloseOutput(h), platform::kMidiBadHandle);

  platform::AlsaMidiService none{fake_};
  fake_.openResult = -EACCES;
  EXPECT_FALSE(none.Available());
  EXPECT_EQ(none.OpenInput(0, &h), platform::kMidiBadDevice);
}

// A full pool is waited out; a refused send is a failed Write.
TEST_F(AlsaLogicTest, ARefusedSendFailsTheWriteAndAFullPoolIsWaitedOut) {
  Select();
  auto m = link_test::SysEx(8);
  fake_.sendResults = {-EAGAIN, 0};
  EXPECT_EQ(t_.Write(m.data(), 8), 0);
  EXPECT_EQ(t_.Write(m.data(), 8), 0);
  EXPECT_EQ(fake_.sent.size(), 2u);

  fake_.sendResults = {-EPIPE};
  EXPECT_EQ(t_.Write(m.data(), 8), 0);  // handed over; refused inside the service
  EXPECT_EQ(t_.Write(m.data(), 8), 1);
  EXPECT_EQ(log_.Count("ALSA: SysEx send failed: " + std::string(std::strerror(EPIPE)) + "\n"), 1);
  EXPECT_EQ(log_.Count("COrvellaMIDI::Write: midiOutLongMsg [67] Failed!\n"), 1);
  EXPECT_EQ(t_.Close(), 0);
}

// Input as the sequencer hands it over: a long message in pieces, events
// of other kinds, an overrun in the middle of a message, a lasting error.
TEST_F(AlsaLogicTest, InputIsCutIntoWholeMessagesAndItsErrorsAreLogged) {
  Select();
  const int us = InputPort();
  std::vector<uint8_t> longMessage = link_test::SysEx(600, 0x22);
  std::vector<uint8_t> first(longMessage.begin(), longMessage.begin() + 200);
  std::vector<uint8_t> middle(longMessage.begin() + 200, longMessage.begin() + 450);
  std::vector<uint8_t> last(longMessage.begin() + 450, longMessage.end());
  fake_.input = {
      {1, us, true, first},
      {1, us, false, {0x90, 0x40, 0x7F}},  // a note: dropped
      {1, us, true, middle},
      {1, us, true, last},
      {1, us, true, {0xF0, 0x00, 0x01, 0x54, 0x11}},
      {-ENOSPC, 0, true, {}},
      {1, us, true, {0x22, 0x33, 0xF7}},  // the tail of the broken message: dropped
      {1, us, true, link_test::SysEx(10, 0x44)},
  };
  fake_.persistentError = -EIO;
  std::vector<int> sizes;
  std::vector<uint8_t> got;
  uint8_t buf[4096];
  int n = 0;
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(t_.Read(buf, sizeof buf, &n), 0);
    sizes.push_back(n);
    got.insert(got.end(), buf, buf + n);
  }
  EXPECT_EQ(sizes, (std::vector<int>{512, 88, 5, 10, 0, 0}));
  EXPECT_TRUE(std::equal(longMessage.begin(), longMessage.end(), got.begin()));
  EXPECT_EQ(log_.Count("ALSA: MIDI input overrun, received data was lost\n"), 1);
  EXPECT_EQ(log_.Count("ALSA: reading MIDI input failed: " + std::string(std::strerror(EIO)) + "\n"), 1)
      << "logged once while it lasts";
}

}  // namespace

