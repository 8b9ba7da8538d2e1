#include "sim/links/sim_midi_service.h"

#include <algorithm>
#include <cstring>

#include "platform/core/clock.h"

namespace sim {

using platform::MidiBuffer;
using platform::MidiHandle;

// A virtual cable from an output straight back to an input.
class SimMidiService::Loopback final : public BytePeer {
 public:
  void FromHost(const uint8_t* data, size_t n, bool) override { bytes_.insert(bytes_.end(), data, data + n); }
  size_t ToHost(uint8_t* out, size_t max) override {
    size_t n = std::min(max, bytes_.size());
    std::copy(bytes_.begin(), bytes_.begin() + static_cast<long>(n), out);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<long>(n));
    return n;
  }

 private:
  std::deque<uint8_t> bytes_;
};

SimMidiService::SimMidiService(const SimMidiOptions& options) : options_(options) {}

SimMidiService::~SimMidiService() = default;

uint32_t SimMidiService::AddOutput(const std::string& name, BytePeer* peer, platform::MidiTechnology technology) {
  Output out;
  out.name = name;
  out.peer = peer;
  out.technology = technology;
  outputs_.push_back(std::move(out));
  return static_cast<uint32_t>(outputs_.size() - 1);
}

uint32_t SimMidiService::AddInput(const std::string& name, BytePeer* peer) {
  inputs_.emplace_back();
  inputs_.back().name = name;
  inputs_.back().peer = peer;
  return static_cast<uint32_t>(inputs_.size() - 1);
}

void SimMidiService::AddUnitPorts(const std::string& name, BytePeer* unit) {
  AddOutput(name, unit);
  AddInput(name, unit);
}

void SimMidiService::AddLoopbackPorts(const std::string& name) {
  loopbacks_.push_back(std::make_unique<Loopback>());
  AddUnitPorts(name, loopbacks_.back().get());
}

void SimMidiService::AddStandardExtras() {
  AddOutput("Software Synthesizer", nullptr, platform::MidiTechnology::kSoftwareSynthesizer);
  AddLoopbackPorts("Loopback Virtual MIDI");
  AddLoopbackPorts("Virtual MIDI Bus 1");
}

void SimMidiService::RemoveOutput(uint32_t device) {
  Output& out = outputs_.at(device);
  out.present = false;
  if (out.handle) CloseOutput(out.handle);
}

void SimMidiService::RemoveInput(uint32_t device) {
  Input& in = inputs_.at(device);
  in.present = false;
  if (in.handle) CloseInput(in.handle);
}

uint32_t SimMidiService::InputCount() { return static_cast<uint32_t>(inputs_.size()); }
uint32_t SimMidiService::OutputCount() { return static_cast<uint32_t>(outputs_.size()); }

namespace {
void CopyName(char* dst, const std::string& name) {
  std::memset(dst, 0, platform::kMidiNameSize);
  std::memcpy(dst, name.data(), std::min(name.size(), platform::kMidiNameSize - 1));
}
}  // namespace

int SimMidiService::InputInfo(uint32_t device, platform::MidiDeviceInfo* info) {
  if (!info) return platform::kMidiBadParameter;
  if (device >= inputs_.size() || !inputs_[device].present) return platform::kMidiBadDevice;
  CopyName(info->name, inputs_[device].name);
  info->technology = platform::MidiTechnology::kMidiPort;
  return platform::kMidiOk;
}

int SimMidiService::OutputInfo(uint32_t device, platform::MidiDeviceInfo* info) {
  if (!info) return platform::kMidiBadParameter;
  if (device >= outputs_.size() || !outputs_[device].present) return platform::kMidiBadDevice;
  CopyName(info->name, outputs_[device].name);
  info->technology = outputs_[device].technology;
  return platform::kMidiOk;
}

template <class Kind>
int SimMidiService::Claim(std::vector<Kind>& ports, bool input, uint32_t device, MidiHandle* handle) {
  if (!handle) return platform::kMidiBadParameter;
  *handle = 0;
  if (device >= ports.size() || !ports[device].present) return platform::kMidiBadDevice;
  Kind& port = ports[device];
  if (port.faults.failOpen) return platform::kMidiNotReady;
  if (port.handle) return platform::kMidiAllocated;
  UpdateNow();
  port.handle = nextHandle_++;
  port.opens++;
  handles_[port.handle] = {input, device};
  *handle = port.handle;
  return platform::kMidiOk;
}

int SimMidiService::OpenInput(uint32_t device, MidiHandle* handle) {
  const int result = Claim(inputs_, true, device, handle);
  if (result == platform::kMidiOk) {
    inputs_[device].wire.clear();
    inputs_[device].betweenMessages = true;
  }
  return result;
}

int SimMidiService::OpenOutput(uint32_t device, MidiHandle* handle) {
  return Claim(outputs_, false, device, handle);
}

SimMidiService::Output* SimMidiService::FindOutput(MidiHandle h) {
  auto it = handles_.find(h);
  if (it == handles_.end() || it->second.input) return nullptr;
  return &outputs_[it->second.device];
}

SimMidiService::Input* SimMidiService::FindInput(MidiHandle h) {
  auto it = handles_.find(h);
  if (it == handles_.end() || !it->second.input) return nullptr;
  return &inputs_[it->second.device];
}

int SimMidiService::PrepareBuffer(MidiHandle handle, MidiBuffer* buffer) {
  if (!handles_.count(handle)) return platform::kMidiBadHandle;
  if (!buffer || !buffer->data || buffer->length == 0) return platform::kMidiBadParameter;
  buffer->prepared = true;
  return platform::kMidiOk;
}

int SimMidiService::UnprepareBuffer(MidiHandle handle, MidiBuffer* buffer) {
  if (!handles_.count(handle)) return platform::kMidiBadHandle;
  if (!buffer) return platform::kMidiBadParameter;
  if (buffer->queued) return platform::kMidiStillPlaying;
  buffer->prepared = false;
  return platform::kMidiOk;
}

int SimMidiService::SendSysEx(MidiHandle output, MidiBuffer* buffer) {
  Output* out = FindOutput(output);
  if (!out) return platform::kMidiBadHandle;
  if (!buffer) return platform::kMidiBadParameter;
  if (!buffer->prepared) return platform::kMidiUnprepared;
  if (buffer->queued) return platform::kMidiStillPlaying;
  UpdateNow();
  buffer->done = false;
  buffer->error = platform::kMidiOk;
  buffer->queued = true;
  if (out->sent.size() >= kSentKept) out->sent.pop_front();
  out->sent.emplace_back(buffer->data, buffer->data + buffer->length);
  PendingSend send{buffer};
  send.queued = nowUs_;
  out->sends.push_back(send);
  MoveOutput(*out);
  return platform::kMidiOk;
}

int SimMidiService::ResetOutput(MidiHandle output) {
  Output* out = FindOutput(output);
  if (!out) return platform::kMidiBadHandle;
  platform::GiveBackSends(out->sends);
  return platform::kMidiOk;
}

int SimMidiService::CloseOutput(MidiHandle output) {
  Output* out = FindOutput(output);
  if (!out) return platform::kMidiBadHandle;
  platform::GiveBackSends(out->sends);
  // Bytes already on the wire still reach the device.
  handles_.erase(output);
  out->handle = 0;
  return platform::kMidiOk;
}

int SimMidiService::AddInputBuffer(MidiHandle input, MidiBuffer* buffer) {
  Input* in = FindInput(input);
  return in ? in->receiver.Queue(buffer) : platform::kMidiBadHandle;
}

platform::SysExInput* SimMidiService::Receiver(MidiHandle input) {
  Input* in = FindInput(input);
  return in ? &in->receiver : nullptr;
}

int SimMidiService::StartInput(MidiHandle input) {
  return platform::ControlInput(Receiver(input), &platform::SysExInput::Start);
}
int SimMidiService::StopInput(MidiHandle input) {
  return platform::ControlInput(Receiver(input), &platform::SysExInput::Stop);
}
int SimMidiService::ResetInput(MidiHandle input) {
  return platform::ControlInput(Receiver(input), &platform::SysExInput::Reset);
}

int SimMidiService::CloseInput(MidiHandle input) {
  Input* in = FindInput(input);
  if (!in) return platform::kMidiBadHandle;
  in->receiver.Reset();
  in->wire.clear();
  handles_.erase(input);
  in->handle = 0;
  return platform::kMidiOk;
}

void SimMidiService::UpdateNow() {
  uint32_t tick = platform::Use<platform::Clock>().MidiTime();
  if (started_) nowUs_ += static_cast<uint64_t>(static_cast<uint32_t>(tick - lastTick_)) * 1000;
  started_ = true;
  lastTick_ = tick;
}

void SimMidiService::MoveOutput(Output& out) {
  const uint64_t latency = static_cast<uint64_t>(options_.latencyMs) * 1000;
  while (!out.sends.empty() && !out.faults.stallSends) {
    PendingSend& s = out.sends.front();
    MidiBuffer* b = s.buffer;
    if (out.faults.failSends) {
      b->queued = false;
      b->done = true;
      b->error = platform::kMidiNotReady;
      out.sends.pop_front();
      continue;
    }
    if (!s.started) {
      // A queued message follows the one before it the moment that one
      // has left, not when somebody next looks.
      s.start = std::max(s.queued, out.wireFree);
      s.started = true;
    }
    while (s.copied < b->length) {
      uint64_t leaves = options_.pacing ? s.start + (s.copied + 1) * kByteMicros : nowUs_;
      if (leaves > nowUs_) break;
      out.flight.push_back({leaves + latency, b->data[s.copied]});
      s.copied++;
    }
    if (s.copied < b->length) break;
    out.wireFree = options_.pacing ? s.start + b->length * kByteMicros : nowUs_;
    b->queued = false;
    b->done = true;
    out.sends.pop_front();
  }
  // Hand the device whatever has arrived, in runs.
  uint8_t run[256];
  size_t n = 0;
  while (!out.flight.empty() && out.flight.front().at <= nowUs_) {
    if (out.peer) fedAt_[out.peer] = out.flight.front().at;
    run[n++] = out.flight.front().byte;
    out.flight.pop_front();
    if (n == sizeof run) {
      if (out.peer) out.peer->FromHost(run, n, false);
      n = 0;
    }
  }
  if (n && out.peer) out.peer->FromHost(run, n, false);
}

void SimMidiService::Enqueue(Input& in, uint8_t byte, uint64_t earliest) {
  uint64_t at = earliest;
  if (options_.pacing) {
    at = std::max(earliest, in.wireFree) + kByteMicros;
    in.wireFree = at;
  }
  in.wire.push_back({at, byte});
}

void SimMidiService::PullInput(Input& in) {
  uint8_t chunk[512];
  size_t n;
  // Bytes the device gives now answer what it was fed since the last look,
  // if anything: they leave from that moment.
  uint64_t from = nowUs_;
  auto fed = in.peer ? fedAt_.find(in.peer) : fedAt_.end();
  if (fed != fedAt_.end() && fed->second > in.lastPull && fed->second < from) from = fed->second;
  in.lastPull = nowUs_;
  const uint64_t earliest = from + static_cast<uint64_t>(options_.latencyMs) * 1000;
  while (in.peer && (n = in.peer->ToHost(chunk, sizeof chunk)) > 0) {
    // Nobody listens on a closed port: the bytes are lost on the cable.
    if (!in.handle) continue;
    for (size_t i = 0; i < n; ++i) {
      uint8_t c = chunk[i];
      if (c == 0xF0 && in.betweenMessages && in.faults.channelNoise) {
        Enqueue(in, 0x90, earliest);
        Enqueue(in, 0x3C, earliest);
        Enqueue(in, 0x40, earliest);
      }
      if (c == 0xF0) in.betweenMessages = false;
      if (c == 0xF7) in.betweenMessages = true;
      Enqueue(in, c, earliest);
      if (in.faults.activeSensing && ++in.fed % 16 == 0) Enqueue(in, 0xFE, earliest);
    }
  }
  uint8_t run[256];
  size_t m = 0;
  while (!in.wire.empty() && in.wire.front().at <= nowUs_) {
    run[m++] = in.wire.front().byte;
    in.wire.pop_front();
    if (m == sizeof run) {
      in.receiver.Feed(run, m);
      m = 0;
    }
  }
  if (m) in.receiver.Feed(run, m);
}

void SimMidiService::Poll() {
  UpdateNow();
  for (Output& out : outputs_) MoveOutput(out);
  for (Input& in : inputs_) PullInput(in);
}

uint32_t SimMidiService::QuietMs() {
  UpdateNow();
  uint64_t next = UINT64_MAX;
  auto firstEnd = [](const std::deque<TimedByte>& wire) -> uint64_t {
    for (const TimedByte& b : wire) {
      if (b.byte == 0xF7) return b.at;
    }
    // A message without its end yet can only fill a receive buffer.
    return wire.empty() ? UINT64_MAX : wire.back().at;
  };
  for (const Output& out : outputs_) {
    if (!out.sends.empty() && !out.faults.stallSends) {
      const PendingSend& s = out.sends.front();
      if (!options_.pacing || !s.started) return 0;
      next = std::min<uint64_t>(next, s.start + uint64_t{s.buffer->length} * kByteMicros);
    }
    next = std::min(next, firstEnd(out.flight));
  }
  for (const Input& in : inputs_) next = std::min(next, firstEnd(in.wire));
  if (next == UINT64_MAX || next <= nowUs_) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>((next - nowUs_ + 999) / 1000, 60000));
}

}  // namespace sim
