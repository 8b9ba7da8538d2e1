#pragma once
// A simulated MIDI service: numbered ports wired to simulated devices
// (BytePeer), loopback pairs and silent synthesizers, driven on the clock
// in force. With pacing on, every byte takes its time on the 31,250 baud
// wire (320 us each way) and a fixed latency is added, so transfer times
// measured through it mean something.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/message_pump.h"
#include "platform/midi/midi_service.h"
#include "platform/midi/sysex_input.h"
#include "sim/unit/byte_peer.h"

namespace sim {

struct SimMidiOptions {
  bool pacing = false;     // 3,125 bytes/s in each direction
  uint32_t latencyMs = 0;  // added to every byte's way, in both directions
};

// Per-port misbehaviour for tests.
struct SimPortFaults {
  bool failOpen = false;       // opening the port fails (kMidiNotReady)
  bool stallSends = false;     // outputs: a send never completes until reset
  bool failSends = false;      // outputs: a send comes back done with kMidiNotReady, nothing sent
  bool activeSensing = false;  // inputs: a 0xFE byte after every 16 bytes
  bool channelNoise = false;   // inputs: a note-on before every message
};

// It is also the wake hint of the links it carries: while a message is on
// the wire it knows when the message can next be seen.
class SimMidiService final : public platform::MidiService, public platform::WakeHint {
 public:
  static constexpr uint32_t kByteMicros = 320;  // 10 bits at 31,250 baud
  // Messages kept per output for Sent(): enough for any test's look back,
  // while a whole image (tens of thousands of messages) stays out of memory.
  static constexpr size_t kSentKept = 4096;

  explicit SimMidiService(const SimMidiOptions& options = SimMidiOptions());
  ~SimMidiService() override;

  // Port building. Device numbers follow the order of the calls, per
  // direction. `peer` may be null (the bytes go nowhere / nothing arrives);
  // the peer must outlive the service.
  uint32_t AddOutput(const std::string& name, BytePeer* peer,
                     platform::MidiTechnology technology = platform::MidiTechnology::kMidiPort);
  uint32_t AddInput(const std::string& name, BytePeer* peer);
  // An output and an input of the same name wired to one unit.
  void AddUnitPorts(const std::string& name, BytePeer* unit);
  // An output whose bytes come back on an input of the same name.
  void AddLoopbackPorts(const std::string& name);
  // The ports a typical computer also has: a software synthesizer output,
  // a "Loopback Virtual MIDI" pair and a "Virtual MIDI Bus 1" pair (both
  // loop back).
  void AddStandardExtras();

  // A port that disappears keeps its number but can no longer be described
  // or opened.
  void RemoveOutput(uint32_t device);
  void RemoveInput(uint32_t device);

  SimPortFaults& OutputFaults(uint32_t device) { return outputs_.at(device).faults; }
  SimPortFaults& InputFaults(uint32_t device) { return inputs_.at(device).faults; }
  // The last kSentKept messages handed to SendSysEx on output `device`, in
  // order.
  const std::deque<std::vector<uint8_t>>& Sent(uint32_t device) const { return outputs_.at(device).sent; }
  // How many times input or output `device` was opened.
  int InputOpenCount(uint32_t device) const { return inputs_.at(device).opens; }
  int OutputOpenCount(uint32_t device) const { return outputs_.at(device).opens; }
  // Handles currently open (both directions).
  size_t OpenHandles() const { return handles_.size(); }

  const SimMidiOptions& options() const { return options_; }

  // platform::MidiService
  PLATFORM_MIDI_SERVICE_OPERATIONS

  // platform::WakeHint: milliseconds until the next send completes or the
  // next message end reaches a device or an input; 0 when nothing is on
  // the wire (a device may speak at any moment).
  uint32_t QuietMs() override;

 private:
  struct TimedByte {
    uint64_t at;  // microseconds on the service's time line
    uint8_t byte;
  };
  struct PendingSend {
    platform::MidiBuffer* buffer;
    uint32_t copied = 0;
    uint64_t queued = 0;  // when it was handed over
    uint64_t start = 0;
    bool started = false;
  };
  // What a port of either direction has.
  struct Port {
    std::string name;
    BytePeer* peer = nullptr;
    SimPortFaults faults;
    bool present = true;
    platform::MidiHandle handle = 0;
    int opens = 0;
    uint64_t wireFree = 0;
  };
  struct Output : Port {
    platform::MidiTechnology technology;
    std::deque<PendingSend> sends;
    std::deque<TimedByte> flight;  // sent, not yet at the peer
    std::deque<std::vector<uint8_t>> sent;
  };
  struct Input : Port {
    platform::SysExInput receiver;
    std::deque<TimedByte> wire;  // left the peer, not yet delivered
    uint32_t fed = 0;  // bytes so far, for the active-sensing fault
    bool betweenMessages = true;
    uint64_t lastPull = 0;  // when the peer was last asked for bytes
  };
  struct HandleRef {
    bool input;
    uint32_t device;
  };
  class Loopback;

  void UpdateNow();
  // What opening an input or an output shares: the checks, the handle and
  // its bookkeeping.
  template <class Kind>
  int Claim(std::vector<Kind>& ports, bool input, uint32_t device, platform::MidiHandle* handle);
  Output* FindOutput(platform::MidiHandle h);
  Input* FindInput(platform::MidiHandle h);
  platform::SysExInput* Receiver(platform::MidiHandle input);
  void MoveOutput(Output& out);
  void PullInput(Input& in);
  void Enqueue(Input& in, uint8_t byte, uint64_t earliest);

  SimMidiOptions options_;
  std::vector<Output> outputs_;
  std::vector<Input> inputs_;
  std::vector<std::unique_ptr<Loopback>> loopbacks_;
  std::map<platform::MidiHandle, HandleRef> handles_;
  platform::MidiHandle nextHandle_ = 1;
  uint64_t nowUs_ = 0;
  // When each device last received a byte: its answer leaves from then,
  // not from whenever the service next looks.
  std::map<const BytePeer*, uint64_t> fedAt_;
  uint32_t lastTick_ = 0;
  bool started_ = false;
};

}  // namespace sim
