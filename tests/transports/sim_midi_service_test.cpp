// The simulated MIDI service and the receive half it shares with the ALSA
// backend: SysEx only, queue order, long messages split, wire-rate pacing.
#include "sim/links/sim_midi_service.h"

#include <gtest/gtest.h>

#include "platform/core/clock.h"
#include "platform/midi/sysex_input.h"
#include "tests/transports/link_test_support.h"

namespace {

using platform::MidiBuffer;

struct Buffers {
  explicit Buffers(int n, uint32_t size) : data(n, std::vector<uint8_t>(size)), headers(n) {
    for (int i = 0; i < n; ++i) {
      headers[i].data = data[i].data();
      headers[i].length = size;
      headers[i].prepared = true;
    }
  }
  std::vector<uint8_t> Content(int i) const { return {data[i].begin(), data[i].begin() + headers[i].bytesRecorded}; }
  std::vector<std::vector<uint8_t>> data;
  std::vector<MidiBuffer> headers;
};

TEST(SysExInputTest, FillsQueuedBuffersWithSysExOnly) {
  struct Case {
    const char* what;
    std::vector<uint8_t> wire;
    std::vector<std::vector<uint8_t>> expected;  // content of each done buffer, in order
  } cases[] = {
      {"one message", {0xF0, 1, 2, 0xF7}, {{0xF0, 1, 2, 0xF7}}},
      {"channel messages around it are dropped",
       {0x90, 0x40, 0x7F, 0xF0, 1, 0xF7, 0x80, 0x40, 0},
       {{0xF0, 1, 0xF7}}},
      {"real-time bytes inside a message vanish", {0xF0, 1, 0xFE, 2, 0xF8, 0xF7}, {{0xF0, 1, 2, 0xF7}}},
      {"longer than a buffer: split", {0xF0, 1, 2, 3, 4, 5, 6, 0xF7}, {{0xF0, 1, 2, 3}, {4, 5, 6, 0xF7}}},
      {"a status byte cuts a message short", {0xF0, 1, 0x90, 2, 0xF0, 3, 0xF7}, {{0xF0, 1}, {0xF0, 3, 0xF7}}},
      {"a stray end byte is dropped", {0xF7, 0xF0, 0xF7}, {{0xF0, 0xF7}}},
  };
  for (const Case& c : cases) {
    Buffers b(3, 4);
    platform::SysExInput in;
    for (auto& h : b.headers) in.Add(&h);
    in.Start();
    in.Feed(c.wire.data(), c.wire.size());
    size_t done = 0;
    for (size_t i = 0; i < b.headers.size() && b.headers[i].done; ++i, ++done) {
      ASSERT_LT(i, c.expected.size()) << c.what;
      EXPECT_EQ(b.Content(static_cast<int>(i)), c.expected[i]) << c.what;
    }
    EXPECT_EQ(done, c.expected.size()) << c.what;
  }
}

TEST(SysExInputTest, StopAndResetGiveBuffersBack) {
  Buffers b(2, 8);
  platform::SysExInput in;
  in.Add(&b.headers[0]);
  in.Add(&b.headers[1]);
  const uint8_t bytes[] = {0xF0, 1, 2};
  in.Feed(bytes, 3);
  EXPECT_EQ(b.headers[0].bytesRecorded, 0u) << "nothing arrives before Start";
  in.Start();
  in.Feed(bytes, 3);
  in.Stop();
  EXPECT_TRUE(b.headers[0].done);
  EXPECT_EQ(b.headers[0].bytesRecorded, 3u);
  EXPECT_FALSE(b.headers[1].done);
  in.Reset();
  EXPECT_TRUE(b.headers[1].done);
  EXPECT_FALSE(b.headers[1].queued);
}

TEST(SimMidiServiceTest, PacingTakesTheWireRateAndTheLatency) {
  platform::VirtualClock clock{1000, 0, 1};
  platform::Override<platform::Clock> guard(clock);
  sim::SimMidiService midi({true, 5});
  link_test::ProbePeer peer;
  peer.reply = [](const std::vector<uint8_t>& f) { return f; };  // echo
  midi.AddUnitPorts("Echo", &peer);
  platform::MidiHandle out = 0, in = 0;
  ASSERT_EQ(midi.OpenOutput(0, &out), 0);
  ASSERT_EQ(midi.OpenInput(0, &in), 0);
  Buffers rx(1, 512);
  ASSERT_EQ(midi.AddInputBuffer(in, &rx.headers[0]), 0);
  ASSERT_EQ(midi.StartInput(in), 0);
  auto message = link_test::SysEx(100);
  MidiBuffer tx;
  tx.data = message.data();
  tx.length = 100;
  ASSERT_EQ(midi.PrepareBuffer(out, &tx), 0);
  const uint32_t start = clock.Peek();
  ASSERT_EQ(midi.SendSysEx(out, &tx), 0);
  EXPECT_EQ(midi.UnprepareBuffer(out, &tx), platform::kMidiStillPlaying);
  uint32_t sent = 0, echoed = 0;
  while (!rx.headers[0].done && clock.Peek() - start < 1000) {
    midi.Poll();
    if (tx.done && !sent) sent = clock.Peek() - start;
    clock.Advance(1);
  }
  echoed = clock.Peek() - start;
  // 100 bytes at 0.32 ms: 32 ms out; the echo needs latency, 32 ms back and latency again.
  EXPECT_EQ(sent, 32u);
  EXPECT_GE(echoed, 32u + 5 + 32 + 5);
  EXPECT_LE(echoed, 32u + 5 + 32 + 5 + 2);
  EXPECT_EQ(rx.Content(0), message);
  EXPECT_EQ(midi.CloseInput(in), 0);
  EXPECT_EQ(midi.CloseOutput(out), 0);
}

}  // namespace
