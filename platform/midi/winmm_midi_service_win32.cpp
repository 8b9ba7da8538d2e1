#include "platform/midi/winmm_midi_service_win32.h"

#include <atomic>
#include <cstring>

#include "platform/core/log.h"
#include "platform/core/real_backend.h"
#include "platform/core/wide_text_win32.h"

namespace platform {
namespace {

class SystemWinMmCalls final : public WinMm {
 public:
  UINT InCount() override { return midiInGetNumDevs(); }
  UINT OutCount() override { return midiOutGetNumDevs(); }
  MMRESULT InCaps(UINT device, MIDIINCAPSW* caps) override { return midiInGetDevCapsW(device, caps, sizeof *caps); }
  MMRESULT OutCaps(UINT device, MIDIOUTCAPSW* caps) override {
    return midiOutGetDevCapsW(device, caps, sizeof *caps);
  }
  MMRESULT InOpen(HMIDIIN* in, UINT device) override { return midiInOpen(in, device, 0, 0, CALLBACK_NULL); }
  MMRESULT OutOpen(HMIDIOUT* out, UINT device) override { return midiOutOpen(out, device, 0, 0, CALLBACK_NULL); }
  MMRESULT InPrepare(HMIDIIN in, MIDIHDR* h) override { return midiInPrepareHeader(in, h, sizeof *h); }
  MMRESULT InUnprepare(HMIDIIN in, MIDIHDR* h) override { return midiInUnprepareHeader(in, h, sizeof *h); }
  MMRESULT InAddBuffer(HMIDIIN in, MIDIHDR* h) override { return midiInAddBuffer(in, h, sizeof *h); }
  MMRESULT InStart(HMIDIIN in) override { return midiInStart(in); }
  MMRESULT InStop(HMIDIIN in) override { return midiInStop(in); }
  MMRESULT InReset(HMIDIIN in) override { return midiInReset(in); }
  MMRESULT InClose(HMIDIIN in) override { return midiInClose(in); }
  MMRESULT OutPrepare(HMIDIOUT out, MIDIHDR* h) override { return midiOutPrepareHeader(out, h, sizeof *h); }
  MMRESULT OutUnprepare(HMIDIOUT out, MIDIHDR* h) override { return midiOutUnprepareHeader(out, h, sizeof *h); }
  MMRESULT OutLongMsg(HMIDIOUT out, MIDIHDR* h) override { return midiOutLongMsg(out, h, sizeof *h); }
  MMRESULT OutReset(HMIDIOUT out) override { return midiOutReset(out); }
  MMRESULT OutClose(HMIDIOUT out) override { return midiOutClose(out); }
};

// WinMM's results are the service's own codes; anything else is a device
// that is not ready.
int Result(MMRESULT r) {
  switch (r) {
    case MMSYSERR_NOERROR:
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_ALLOCATED:
    case MMSYSERR_INVALHANDLE:
    case MMSYSERR_NOMEM:
    case MMSYSERR_INVALPARAM:
    case MIDIERR_UNPREPARED:
    case MIDIERR_STILLPLAYING:
    case MIDIERR_NOTREADY:
      return static_cast<int>(r);
    default:
      return kMidiNotReady;
  }
}

static_assert(kMidiBadDevice == MMSYSERR_BADDEVICEID && kMidiAllocated == MMSYSERR_ALLOCATED &&
              kMidiBadHandle == MMSYSERR_INVALHANDLE && kMidiNoMemory == MMSYSERR_NOMEM &&
              kMidiBadParameter == MMSYSERR_INVALPARAM && kMidiUnprepared == MIDIERR_UNPREPARED &&
              kMidiStillPlaying == MIDIERR_STILLPLAYING && kMidiNotReady == MIDIERR_NOTREADY);

void CopyName(const wchar_t* name, MidiDeviceInfo* info) {
  std::string text = win32::Narrow(std::wstring(name, wcsnlen(name, MAXPNAMELEN)));
  std::memset(info->name, 0, sizeof info->name);
  // Cut at a character boundary: never half of a UTF-8 sequence.
  size_t n = std::min(text.size(), sizeof info->name - 1);
  while (n > 0 && n < text.size() && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(info->name, text.data(), n);
}

// The driver sets the flag from its own thread.
bool IsDone(const MIDIHDR& header) {
  const DWORD flags = std::atomic_ref<const DWORD>(header.dwFlags).load(std::memory_order_acquire);
  return (flags & MHDR_DONE) != 0;
}

}  // namespace

WinMm& SystemWinMm() {
  static SystemWinMmCalls calls;
  return calls;
}

PLATFORM_REAL_BACKEND(MidiService, WinMmMidiService)

WinMmMidiService::WinMmMidiService(WinMm& winmm) : winmm_(winmm) {}

WinMmMidiService::~WinMmMidiService() {
  while (!ports_.empty()) Close(ports_.begin()->first, ports_.begin()->second->input);
}

uint32_t WinMmMidiService::InputCount() { return winmm_.InCount(); }
uint32_t WinMmMidiService::OutputCount() { return winmm_.OutCount(); }

int WinMmMidiService::InputInfo(uint32_t device, MidiDeviceInfo* info) {
  if (!info) return kMidiBadParameter;
  MIDIINCAPSW caps{};
  const MMRESULT r = winmm_.InCaps(device, &caps);
  if (r != MMSYSERR_NOERROR) return Result(r);
  CopyName(caps.szPname, info);
  info->technology = MidiTechnology::kMidiPort;
  return kMidiOk;
}

int WinMmMidiService::OutputInfo(uint32_t device, MidiDeviceInfo* info) {
  if (!info) return kMidiBadParameter;
  MIDIOUTCAPSW caps{};
  const MMRESULT r = winmm_.OutCaps(device, &caps);
  if (r != MMSYSERR_NOERROR) return Result(r);
  CopyName(caps.szPname, info);
  switch (caps.wTechnology) {
    case MOD_MIDIPORT:
      info->technology = MidiTechnology::kMidiPort;
      break;
    case MOD_SWSYNTH:
      info->technology = MidiTechnology::kSoftwareSynthesizer;
      break;
    case MOD_MAPPER:
      // The mapper forwards to another device: never a cable of its own.
      info->technology = MidiTechnology::kApplication;
      break;
    default:
      info->technology = MidiTechnology::kSynthesizer;
      break;
  }
  return kMidiOk;
}

int WinMmMidiService::OpenInput(uint32_t device, MidiHandle* handle) {
  if (!handle) return kMidiBadParameter;
  *handle = 0;
  auto port = std::make_unique<Port>();
  port->input = true;
  const MMRESULT r = winmm_.InOpen(&port->in, device);
  if (r != MMSYSERR_NOERROR) return Result(r);
  *handle = nextHandle_++;
  ports_[*handle] = std::move(port);
  return kMidiOk;
}

int WinMmMidiService::OpenOutput(uint32_t device, MidiHandle* handle) {
  if (!handle) return kMidiBadParameter;
  *handle = 0;
  auto port = std::make_unique<Port>();
  const MMRESULT r = winmm_.OutOpen(&port->out, device);
  if (r != MMSYSERR_NOERROR) return Result(r);
  *handle = nextHandle_++;
  ports_[*handle] = std::move(port);
  return kMidiOk;
}

WinMmMidiService::Port* WinMmMidiService::Find(MidiHandle handle, bool input) {
  auto it = ports_.find(handle);
  if (it == ports_.end() || it->second->input != input) return nullptr;
  return it->second.get();
}

int WinMmMidiService::PrepareBuffer(MidiHandle handle, MidiBuffer* buffer) {
  auto it = ports_.find(handle);
  if (it == ports_.end()) return kMidiBadHandle;
  if (!buffer || !buffer->data || buffer->length == 0) return kMidiBadParameter;
  Port& port = *it->second;
  auto& header = port.headers[buffer];
  if (header) {
    // Prepared before: the caller may have pointed it at other memory.
    if (buffer->queued) return kMidiStillPlaying;
    if (port.input) {
      winmm_.InUnprepare(port.in, header.get());
    } else {
      winmm_.OutUnprepare(port.out, header.get());
    }
  }
  header = std::make_unique<MIDIHDR>();
  header->lpData = reinterpret_cast<LPSTR>(buffer->data);
  header->dwBufferLength = buffer->length;
  const MMRESULT r = port.input ? winmm_.InPrepare(port.in, header.get()) : winmm_.OutPrepare(port.out, header.get());
  if (r != MMSYSERR_NOERROR) {
    port.headers.erase(buffer);
    return Result(r);
  }
  buffer->prepared = true;
  return kMidiOk;
}

int WinMmMidiService::UnprepareBuffer(MidiHandle handle, MidiBuffer* buffer) {
  auto it = ports_.find(handle);
  if (it == ports_.end()) return kMidiBadHandle;
  if (!buffer) return kMidiBadParameter;
  Port& port = *it->second;
  Collect(port);
  if (buffer->queued) return kMidiStillPlaying;
  auto header = port.headers.find(buffer);
  if (header != port.headers.end()) {
    const MMRESULT r = port.input ? winmm_.InUnprepare(port.in, header->second.get())
                                  : winmm_.OutUnprepare(port.out, header->second.get());
    if (r != MMSYSERR_NOERROR) return Result(r);
    port.headers.erase(header);
  }
  buffer->prepared = false;
  return kMidiOk;
}

// Checks shared by sends and receives; kMidiOk when `buffer` may be queued.
int WinMmMidiService::Queue(Port& port, MidiBuffer* buffer) {
  if (!buffer) return kMidiBadParameter;
  if (!buffer->prepared || !port.headers.count(buffer)) return kMidiUnprepared;
  if (buffer->queued) return kMidiStillPlaying;
  MIDIHDR& header = *port.headers[buffer];
  header.dwBytesRecorded = port.input ? 0 : buffer->length;
  buffer->done = false;
  buffer->error = kMidiOk;
  buffer->bytesRecorded = 0;
  const MMRESULT r = port.input ? winmm_.InAddBuffer(port.in, &header) : winmm_.OutLongMsg(port.out, &header);
  if (r != MMSYSERR_NOERROR) return Result(r);
  buffer->queued = true;
  port.queued.push_back(buffer);
  return kMidiOk;
}

int WinMmMidiService::SendSysEx(MidiHandle output, MidiBuffer* buffer) {
  Port* port = Find(output, false);
  return port ? Queue(*port, buffer) : kMidiBadHandle;
}

int WinMmMidiService::AddInputBuffer(MidiHandle input, MidiBuffer* buffer) {
  Port* port = Find(input, true);
  return port ? Queue(*port, buffer) : kMidiBadHandle;
}

// Hands every header the driver has finished back to its buffer.
void WinMmMidiService::Collect(Port& port) {
  for (auto it = port.queued.begin(); it != port.queued.end();) {
    MidiBuffer* buffer = *it;
    const MIDIHDR& header = *port.headers[buffer];
    if (!IsDone(header)) {
      ++it;
      continue;
    }
    if (port.input) buffer->bytesRecorded = std::min<DWORD>(header.dwBytesRecorded, buffer->length);
    buffer->queued = false;
    buffer->done = true;
    it = port.queued.erase(it);
  }
}

// After a reset the driver has given back every header; any it still
// claims is given back to its caller all the same, so that nothing keeps a
// pointer to it.
void WinMmMidiService::GiveBackAll(Port& port) {
  Collect(port);
  for (MidiBuffer* buffer : port.queued) {
    buffer->queued = false;
    buffer->done = true;
  }
  port.queued.clear();
}

int WinMmMidiService::ResetOutput(MidiHandle output) {
  Port* port = Find(output, false);
  if (!port) return kMidiBadHandle;
  const MMRESULT r = winmm_.OutReset(port->out);
  GiveBackAll(*port);
  return Result(r);
}

int WinMmMidiService::StartInput(MidiHandle input) {
  Port* port = Find(input, true);
  return port ? Result(winmm_.InStart(port->in)) : kMidiBadHandle;
}

int WinMmMidiService::StopInput(MidiHandle input) {
  Port* port = Find(input, true);
  if (!port) return kMidiBadHandle;
  const MMRESULT r = winmm_.InStop(port->in);
  Collect(*port);
  return Result(r);
}

int WinMmMidiService::ResetInput(MidiHandle input) {
  Port* port = Find(input, true);
  if (!port) return kMidiBadHandle;
  const MMRESULT r = winmm_.InReset(port->in);
  GiveBackAll(*port);
  return Result(r);
}

int WinMmMidiService::Close(MidiHandle handle, bool input) {
  Port* port = Find(handle, input);
  if (!port) return kMidiBadHandle;
  if (input) {
    winmm_.InReset(port->in);
  } else {
    winmm_.OutReset(port->out);
  }
  GiveBackAll(*port);
  // The caller's buffers are not touched: some may be gone by now.
  for (auto& [buffer, header] : port->headers) {
    if (input) {
      winmm_.InUnprepare(port->in, header.get());
    } else {
      winmm_.OutUnprepare(port->out, header.get());
    }
  }
  const MMRESULT r = input ? winmm_.InClose(port->in) : winmm_.OutClose(port->out);
  if (r != MMSYSERR_NOERROR) LogMessage("WinMM: closing a MIDI device failed (%u)\n", static_cast<unsigned>(r));
  ports_.erase(handle);
  return kMidiOk;
}

int WinMmMidiService::CloseOutput(MidiHandle output) { return Close(output, false); }
int WinMmMidiService::CloseInput(MidiHandle input) { return Close(input, true); }

void WinMmMidiService::Poll() {
  for (auto& [handle, port] : ports_) Collect(*port);
}

}  // namespace platform
