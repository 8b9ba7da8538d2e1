#include "platform/midi/alsa_midi_service.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/core/log.h"

namespace platform {
namespace {

// alsa-lib prints its complaints on standard error; ours go to the log.
void RouteAlsaError(const char* file, int line, const char* function, int err, const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  if (err) {
    LogMessage("ALSA: %s:%d (%s) %s: %s\n", file, line, function, text, snd_strerror(err));
  } else {
    LogMessage("ALSA: %s:%d (%s) %s\n", file, line, function, text);
  }
}

MidiTechnology TechnologyOf(unsigned type) {
  if (type & (SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_DIRECT_SAMPLE | SND_SEQ_PORT_TYPE_SAMPLE |
              SND_SEQ_PORT_TYPE_SYNTHESIZER)) {
    return (type & SND_SEQ_PORT_TYPE_HARDWARE) ? MidiTechnology::kSynthesizer
                                               : MidiTechnology::kSoftwareSynthesizer;
  }
  if (type & SND_SEQ_PORT_TYPE_HARDWARE) return MidiTechnology::kMidiPort;
  return MidiTechnology::kApplication;
}

constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;

}  // namespace

template <>
MidiService& DefaultService<MidiService>() {
  static AlsaMidiService service;
  return service;
}

AlsaMidiService::AlsaMidiService() = default;

AlsaMidiService::~AlsaMidiService() {
  while (!ports_.empty()) ClosePort(ports_.begin()->first);
  if (seq_) snd_seq_close(seq_);
}

bool AlsaMidiService::Open() {
  if (seq_) return true;
  snd_lib_error_set_handler(RouteAlsaError);
  // Without the device node alsa-lib would still try (and complain); the
  // answer is known.
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
  if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
    seq_ = nullptr;
    return false;
  }
  snd_seq_set_client_name(seq_, "Reflash");
  ownClient_ = snd_seq_client_id(seq_);
  return true;
}

bool AlsaMidiService::Available() { return Open(); }

void AlsaMidiService::List() {
  inputs_.clear();
  outputs_.clear();
  if (!Open()) return;
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq_, client) >= 0) {
    int id = snd_seq_client_info_get_client(client);
    if (id == ownClient_ || id == SND_SEQ_CLIENT_SYSTEM) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq_, port) >= 0) {
      unsigned caps = snd_seq_port_info_get_capability(port);
      if (caps & SND_SEQ_PORT_CAP_NO_EXPORT) continue;
      Device d{id, snd_seq_port_info_get_port(port), snd_seq_port_info_get_name(port),
               TechnologyOf(snd_seq_port_info_get_type(port))};
      if ((caps & kWritable) == kWritable) outputs_.push_back(d);
      if ((caps & kReadable) == kReadable) {
        d.technology = MidiTechnology::kMidiPort;
        inputs_.push_back(d);
      }
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

bool AlsaMidiService::StillThere(const Device& d) {
  snd_seq_port_info_t* port;
  snd_seq_port_info_alloca(&port);
  return seq_ && snd_seq_get_any_port_info(seq_, d.client, d.port, port) >= 0;
}

int AlsaMidiService::Describe(const std::vector<Device>& list, uint32_t device, MidiDeviceInfo* info) {
  if (!info) return kMidiBadParameter;
  if (device >= list.size() || !StillThere(list[device])) return kMidiBadDevice;
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
  if (device >= list.size() || !StillThere(list[device])) return kMidiBadDevice;
  const Device& d = list[device];
  std::string name = std::string(input ? "from " : "to ") + d.name;
  int local = snd_seq_create_simple_port(seq_, name.c_str(), input ? kWritable : kReadable,
                                         SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (local < 0) return kMidiNoMemory;
  int err = input ? snd_seq_connect_from(seq_, local, d.client, d.port) : snd_seq_connect_to(seq_, local, d.client, d.port);
  if (err < 0) {
    snd_seq_delete_simple_port(seq_, local);
    return kMidiNotReady;
  }
  auto port = std::make_unique<Port>();
  port->input = input;
  port->localPort = local;
  port->client = d.client;
  port->port = d.port;
  *handle = nextHandle_++;
  ports_[*handle] = std::move(port);
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

void AlsaMidiService::MoveSends(Port& port) {
  while (!port.sends.empty()) {
    MidiBuffer* b = port.sends.front();
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, port.localPort);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_sysex(&ev, b->length, b->data);
    int err = snd_seq_event_output_direct(seq_, &ev);
    // A full output pool: try again on the next poll.
    if (err == -EAGAIN) return;
    if (err < 0) LogMessage("ALSA: SysEx send failed: %s\n", snd_strerror(err));
    // The sequencer has copied the event (or refused it): the buffer is free.
    b->queued = false;
    b->done = true;
    port.sends.pop_front();
  }
}

int AlsaMidiService::SendSysEx(MidiHandle output, MidiBuffer* buffer) {
  Port* port = Find(output, false);
  if (!port) return kMidiBadHandle;
  if (!buffer) return kMidiBadParameter;
  if (!buffer->prepared) return kMidiUnprepared;
  if (buffer->queued) return kMidiStillPlaying;
  buffer->done = false;
  buffer->queued = true;
  port->sends.push_back(buffer);
  MoveSends(*port);
  return kMidiOk;
}

int AlsaMidiService::ResetOutput(MidiHandle output) {
  Port* port = Find(output, false);
  if (!port) return kMidiBadHandle;
  for (MidiBuffer* b : port->sends) {
    b->queued = false;
    b->done = true;
  }
  port->sends.clear();
  return kMidiOk;
}

void AlsaMidiService::ClosePort(MidiHandle h) {
  auto it = ports_.find(h);
  if (it == ports_.end()) return;
  Port& port = *it->second;
  for (MidiBuffer* b : port.sends) {
    b->queued = false;
    b->done = true;
  }
  port.receiver.Reset();
  if (seq_) {
    if (port.input) {
      snd_seq_disconnect_from(seq_, port.localPort, port.client, port.port);
    } else {
      snd_seq_disconnect_to(seq_, port.localPort, port.client, port.port);
    }
    snd_seq_delete_simple_port(seq_, port.localPort);
  }
  ports_.erase(it);
}

int AlsaMidiService::CloseOutput(MidiHandle output) {
  if (!Find(output, false)) return kMidiBadHandle;
  ClosePort(output);
  return kMidiOk;
}

int AlsaMidiService::AddInputBuffer(MidiHandle input, MidiBuffer* buffer) {
  Port* port = Find(input, true);
  if (!port) return kMidiBadHandle;
  if (!buffer) return kMidiBadParameter;
  if (!buffer->prepared) return kMidiUnprepared;
  if (buffer->queued) return kMidiStillPlaying;
  port->receiver.Add(buffer);
  return kMidiOk;
}

int AlsaMidiService::StartInput(MidiHandle input) {
  Port* port = Find(input, true);
  if (!port) return kMidiBadHandle;
  port->receiver.Start();
  return kMidiOk;
}

int AlsaMidiService::StopInput(MidiHandle input) {
  Port* port = Find(input, true);
  if (!port) return kMidiBadHandle;
  port->receiver.Stop();
  return kMidiOk;
}

int AlsaMidiService::ResetInput(MidiHandle input) {
  Port* port = Find(input, true);
  if (!port) return kMidiBadHandle;
  port->receiver.Reset();
  return kMidiOk;
}

int AlsaMidiService::CloseInput(MidiHandle input) {
  if (!Find(input, true)) return kMidiBadHandle;
  ClosePort(input);
  return kMidiOk;
}

void AlsaMidiService::Poll() {
  if (!seq_) return;
  for (auto& [h, port] : ports_) {
    if (!port->input) MoveSends(*port);
  }
  for (;;) {
    snd_seq_event_t* ev = nullptr;
    int err = snd_seq_event_input(seq_, &ev);
    if (err == -ENOSPC) continue;  // overrun: what was lost is lost, go on
    if (err < 0 || !ev) break;
    if (ev->type != SND_SEQ_EVENT_SYSEX) continue;
    for (auto& [h, port] : ports_) {
      if (port->input && port->localPort == ev->dest.port) {
        port->receiver.Feed(static_cast<const uint8_t*>(ev->data.ext.ptr), ev->data.ext.len);
      }
    }
  }
}

}  // namespace platform
