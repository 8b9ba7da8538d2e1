// Fuzzes the engine's receive path: whatever bytes a link delivers, in
// whatever chunks, go through the queue, the frame cutter and the decoder
// into the register image without touching memory outside it.
//
// Input: byte 0 chooses the poll mode (low three bits, taken modulo 6) and
// the read chunk size (high five bits); the rest is the unit's byte stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/transport_factory.h"
#include "sim/links/inprocess_link.h"

namespace {

// Answers the identity read of the selection, then plays back the input.
class PlaybackPeer : public sim::BytePeer {
 public:
  std::vector<uint8_t> pending;
  bool playing = false;

  void FromHost(const uint8_t* data, size_t n, bool) override {
    if (playing || n < 8 || ((data[4] >> 3) & 0x0F) != codec::kRead) return;
    const uint16_t first = static_cast<uint16_t>(((data[4] & 7) << 5) | ((data[5] >> 2) & 0x1F) | ((data[6] & 1) << 8));
    const uint16_t count = static_cast<uint16_t>((((data[5] & 3) << 6) | ((data[6] >> 1) & 0x3F)) + 1);
    uint8_t regs[512] = {};
    regs[1] = 96;  // an Orvella(n): idle mode asks nothing
    std::vector<uint8_t> frame(codec::RegisterDataLength(first, count));
    codec::BuildRegisterData(frame.data(), first, regs + first, count);  // first + count <= 511
    pending.insert(pending.end(), frame.begin(), frame.end());
  }
  size_t ToHost(uint8_t* out, size_t max) override {
    const size_t n = pending.size() < max ? pending.size() : max;
    std::memcpy(out, pending.data(), n);
    pending.erase(pending.begin(), pending.begin() + static_cast<long>(n));
    return n;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  platform::VirtualClock clock(1000, 0, 1);
  platform::Override<platform::Clock> useClock(clock);
  PlaybackPeer peer;
  sim::LinkWiring wiring;
  wiring.Add(&peer, "fuzz");
  sim::InProcessTransports factory;
  factory.Serve(kTransportMidi, &wiring);
  platform::Override<TransportFactory> useFactory(factory);

  COrvellaRemote remote;
  if (remote.Open() != 0 || remote.SelectConnection(0) != 0) std::abort();

  const uint8_t mode = static_cast<uint8_t>((data[0] & 7) % 6);
  const size_t chunk = static_cast<size_t>(data[0] >> 3) * 37 + 1;
  remote.SetPollMode(mode);
  if (mode == kPollVerify) remote.RequestVerifyPacket();
  uint8_t before[128];
  for (uint16_t r = 0; r < 128; ++r) remote.ReadRegister(static_cast<uint16_t>(128 + r), &before[r]);

  peer.playing = true;
  peer.pending.assign(data + 1, data + size);
  wiring.readChunk = chunk;
  uint32_t responses = remote.GetResponseCount();
  for (int pass = 0; pass < 64 && !peer.pending.empty(); ++pass) {
    clock.Advance(1);
    remote.Poll();
    if (remote.GetResponseCount() < responses) std::abort();
    responses = remote.GetResponseCount();
  }
  remote.Poll();
  // The whole input as one frame, too (the decoder's own bounds).
  remote.ParseMessage(data + 1, static_cast<int>(size - 1));

  if (mode == kPollVerify) {
    // Registers 128..255 go to the verify buffer only.
    for (uint16_t r = 0; r < 128; ++r) {
      uint8_t v = 0;
      remote.ReadRegister(static_cast<uint16_t>(128 + r), &v);
      if (v != before[r]) std::abort();
    }
  }
  uint8_t packet[128];
  remote.ReadVerifyPacket(packet, 128);
  return 0;
}
