#include "platform/midi/alsa_midi_service.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/core/clock.h"
#include "platform/core/input_wait.h"
#include "platform/core/log.h"
#include "platform/core/real_backend.h"

namespace platform {
namespace {

MidiTechnology TechnologyOf(unsigned type) {
  if (type & (seq::kTypeSynth | seq::kTypeDirectSample | seq::kTypeSample | seq::kTypeSynthesizer)) {
    return (type & seq::kTypeHardware) ? MidiTechnology::kSynthesizer : MidiTechnology::kSoftwareSynthesizer;
  }
  if (type & seq::kTypeHardware) return MidiTechnology::kMidiPort;
  return MidiTechnology::kApplication;
}

// The service's code for a sequencer failure (a negative errno).
int MidiErrorOf(int err) {
  switch (-err) {
    case ENOMEM:
      return kMidiNoMemory;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return kMidiBadDevice;  // the port went away since it was listed
    case EBUSY:
      return kMidiAllocated;
    default:
      return kMidiNotReady;
  }
}

constexpr unsigned kWritable = seq::kCapWrite | seq::kCapSubsWrite;
constexpr unsigned kReadable = seq::kCapRead | seq::kCapSubsRead;

}  // namespace

PLATFORM_REAL_BACKEND(MidiService, AlsaMidiService)

AlsaMidiService::AlsaMidiService(Sequencer& sequencer) : seq_(sequencer) {}

AlsaMidiService::~AlsaMidiService() {
  while (!ports_.empty()) ClosePort(ports_.begin()->first);
  UpdateWatch();
}

void AlsaMidiService::UpdateWatch() {
  bool input = false;
  bool sendWaiting = false;
  for (const auto& [h, port] : ports_) {
    input = input || port->input;
    for (const Send& s : port->sends) sendWaiting = sendWaiting || !s.handed;
  }
  std::vector<int> wanted;
  if (open_ && input && !sendWaiting) wanted = seq_.InputDescriptors();
  if (wanted == watched_) return;
  InputWait& wait = Use<InputWait>();
  for (int fd : watched_) wait.Forget(fd);
  for (int fd : wanted) wait.Watch(fd);
  watched_ = std::move(wanted);
}

bool AlsaMidiService::Open() {
  if (!open_) open_ = seq_.Open() == 0;
  return open_;
}

bool AlsaMidiService::Available() { return Open(); }

uint64_t AlsaMidiService::NowUs() { return uint64_t{Use<Clock>().MidiTime()} * 1000; }

void AlsaMidiService::List() {
  inputs_.clear();
  outputs_.clear();
  if (!Open()) return;
  for (const SeqPortInfo& p : seq_.Ports()) {
    if (p.caps & seq::kCapNoExport) continue;
    Device d{p.client, p.port, p.name, TechnologyOf(p.type)};
    if ((p.caps & kWritable) == kWritable) outputs_.push_back(d);
    if ((p.caps & kReadable) == kReadable) {
      d.technology = MidiTechnology::kMidiPort;
      inputs_.push_back(d);
    }
  }
}

uint32_t AlsaMidiService::InputCount() {
  List();
  return static_cast<uint32_t>(inputs_.size());
}

uint32_t AlsaMidiService::OutputCount() {
  List();
  return static_cast<uint32_t>(outputs_.size());
}

int AlsaMidiService::Describe(const std::vector<Device>& list, uint32_t device, MidiDeviceInfo* info) {
  if (!info) return kMidiBadParameter;
  if (device >= list.size() || !open_ || seq_.FindPort(list[device].client, list[device].port) < 0) {
    return kMidiBadDevice;
  }
  std::memset(info->name, 0, sizeof info->name);
  std::strncpy(info->name, list[device].name.c_str(), sizeof info->name - 1);
  info->technology = list[device].technology;
  return kMidiOk;
}

int AlsaMidiService::InputInfo(uint32_t device, MidiDeviceInfo* info) { return Describe(inputs_, device, info); }
int AlsaMidiService::OutputInfo(uint32_t device, MidiDeviceInfo* info) { return Describe(outputs_, device, info); }

int AlsaMidiService::OpenPort(bool input, uint32_t device, MidiHandle* handle) {
  if (!handle) return kMidiBadParameter;
  *handle = 0;
  const std::vector<Device>& list = input ? inputs_ : outputs_;
  if (device >= list.size() || !open_ || seq_.FindPort(list[device].client, list[device].port) < 0) {
    return kMidiBadDevice;
  }
  const Device& d = list[device];
  const std::string name = std::string(input ? "from " : "to ") + d.name;
  // Only our own subscription reaches the port: no subscription rights for
  // others, and not exported at all.
  const unsigned caps = (input ? seq::kCapWrite : seq::kCapRead) | seq::kCapNoExport;
  const int local = seq_.CreatePort(name, caps, seq::kTypeMidiGeneric | seq::kTypeApplication);
  if (local < 0) {
    LogMessage("ALSA: making a port failed: %s\n", std::strerror(-local));
    return MidiErrorOf(local);
  }
  const int err = input ? seq_.ConnectFrom(local, d.client, d.port) : seq_.ConnectTo(local, d.client, d.port);
  if (err < 0) {
    LogMessage("ALSA: connecting to port %d:%d failed: %s\n", d.client, d.port, std::strerror(-err));
    seq_.DeletePort(local);
    return MidiErrorOf(err);
  }
  auto port = std::make_unique<Port>();
  port->input = input;
  port->localPort = local;
  port->client = d.client;
  port->port = d.port;
  *handle = nextHandle_++;
  ports_[*handle] = std::move(port);
  UpdateWatch();
  return kMidiOk;
}

int AlsaMidiService::OpenInput(uint32_t device, MidiHandle* handle) { return OpenPort(true, device, handle); }
int AlsaMidiService::OpenOutput(uint32_t device, MidiHandle* handle) { return OpenPort(false, device, handle); }

AlsaMidiService::Port* AlsaMidiService::Find(MidiHandle h, bool input) {
  auto it = ports_.find(h);
  if (it == ports_.end() || it->second->input != input) return nullptr;
  return it->second.get();
}

int AlsaMidiService::PrepareBuffer(MidiHandle handle, MidiBuffer* buffer) {
  if (!ports_.count(handle)) return kMidiBadHandle;
  if (!buffer || !buffer->data || buffer->length == 0) return kMidiBadParameter;
  buffer->prepared = true;
  return kMidiOk;
}

int AlsaMidiService::UnprepareBuffer(MidiHandle handle, MidiBuffer* buffer) {
  if (!ports_.count(handle)) return kMidiBadHandle;
  if (!buffer) return kMidiBadParameter;
  if (buffer->queued) return kMidiStillPlaying;
  buffer->prepared = false;
  return kMidiOk;
}

// Hands waiting sends to the sequencer in order, all at once, and gives
// back those whose bytes have had their time on the wire.
void AlsaMidiService::MoveSends(Port& port) {
  const uint64_t now = NowUs();
  for (size_t i = 0; i < port.sends.size();) {
    Send& s = port.sends[i];
    if (s.handed) {
      ++i;
      continue;
    }
    const int err = seq_.SendSysEx(port.localPort, s.buffer->data, s.buffer->length);
    // A full output pool: the rest waits for the next poll, in order.
    if (err == -EAGAIN) break;
    if (err < 0) {
      LogMessage("ALSA: SysEx send failed: %s\n", std::strerror(-err));
      s.buffer->error = MidiErrorOf(err);
      s.buffer->queued = false;
      s.buffer->done = true;
      port.sends.erase(port.sends.begin() + static_cast<long>(i));
      continue;
    }
    s.handed = true;
    s.doneAt = std::max(now, port.wireFree) + uint64_t{s.buffer->length} * kByteMicros;
    port.wireFree = s.doneAt;
    ++i;
  }
  while (!port.sends.empty() && port.sends.front().handed && now >= port.sends.front().doneAt) {
    port.sends.front().buffer->queued = false;
    port.sends.front().buffer->done = true;
    port.sends.erase(port.sends.begin());
  }
}

int AlsaMidiService::SendSysEx(MidiHandle output, MidiBuffer* buffer) {
  Port* port = Find(output, false);
  if (!port) return kMidiBadHandle;
  if (!buffer) return kMidiBadParameter;
  if (!buffer->prepared) return kMidiUnprepared;
  if (buffer->queued) return kMidiStillPlaying;
  buffer->done = false;
  buffer->error = kMidiOk;
  buffer->queued = true;
  port->sends.push_back(Send{buffer});
  MoveSends(*port);
  UpdateWatch();
  return kMidiOk;
}

int AlsaMidiService::ResetOutput(MidiHandle output) {
  Port* port = Find(output, false);
  if (!port) return kMidiBadHandle;
  GiveBackSends(port->sends);
  return kMidiOk;
}

void AlsaMidiService::ClosePort(MidiHandle h) {
  auto it = ports_.find(h);
  if (it == ports_.end()) return;
  Port& port = *it->second;
  GiveBackSends(port.sends);
  port.receiver.Reset();
  if (port.input) {
    seq_.DisconnectFrom(port.localPort, port.client, port.port);
  } else {
    seq_.DisconnectTo(port.localPort, port.client, port.port);
  }
  seq_.DeletePort(port.localPort);
  ports_.erase(it);
  UpdateWatch();
}

int AlsaMidiService::CloseOutput(MidiHandle output) {
  if (!Find(output, false)) return kMidiBadHandle;
  ClosePort(output);
  return kMidiOk;
}

int AlsaMidiService::AddInputBuffer(MidiHandle input, MidiBuffer* buffer) {
  Port* port = Find(input, true);
  return port ? port->receiver.Queue(buffer) : kMidiBadHandle;
}

SysExInput* AlsaMidiService::Receiver(MidiHandle input) {
  Port* port = Find(input, true);
  return port ? &port->receiver : nullptr;
}

int AlsaMidiService::StartInput(MidiHandle input) { return ControlInput(Receiver(input), &SysExInput::Start); }
int AlsaMidiService::StopInput(MidiHandle input) { return ControlInput(Receiver(input), &SysExInput::Stop); }
int AlsaMidiService::ResetInput(MidiHandle input) { return ControlInput(Receiver(input), &SysExInput::Reset); }

int AlsaMidiService::CloseInput(MidiHandle input) {
  if (!Find(input, true)) return kMidiBadHandle;
  ClosePort(input);
  return kMidiOk;
}

void AlsaMidiService::ReadInput() {
  for (;;) {
    SeqEvent ev;
    const int r = seq_.Receive(&ev);
    if (r == 0) return;
    if (r == -ENOSPC) {
      // Events were dropped: a message under way has lost bytes, so it is
      // cut short rather than glued to what follows.
      LogMessage("ALSA: MIDI input overrun, received data was lost\n");
      for (auto& [h, port] : ports_) {
        if (port->input) port->receiver.Break();
      }
      continue;
    }
    if (r < 0) {
      // Logged once, not on every poll while it lasts.
      if (r != lastInputError_) LogMessage("ALSA: reading MIDI input failed: %s\n", std::strerror(-r));
      lastInputError_ = r;
      return;
    }
    lastInputError_ = 0;
    if (!ev.sysex || !ev.data) continue;
    for (auto& [h, port] : ports_) {
      if (port->input && port->localPort == ev.destPort) port->receiver.Feed(ev.data, ev.length);
    }
  }
}

void AlsaMidiService::Poll() {
  if (!open_) return;
  for (auto& [h, port] : ports_) {
    if (!port->input) MoveSends(*port);
  }
  ReadInput();
  UpdateWatch();
}

}  // namespace platform
