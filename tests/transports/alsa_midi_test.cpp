#include "platform/midi/alsa_midi_service.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "platform/core/clock.h"
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

}  // namespace
