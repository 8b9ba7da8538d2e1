#pragma once
// The MIDI service: numbered input and output devices that carry System
// Exclusive messages, driven without callbacks or threads. A caller hands
// over buffers and polls their done flags; the service moves data only
// inside its own calls (Poll above all), so nothing touches a buffer while
// the caller is between calls.
//
// Errors: every call that can fail returns its result code, as the
// system's MIDI calls do: 0 (kMidiOk) for success, else one of the MidiError
// codes below, with the system's numbers (callers log them as they are). A
// send that fails after the service took it comes back with the same kind
// of code in its buffer's `error`. The counts and Poll cannot fail. Nothing
// else (no errno, no bool, no exception) leaves a backend; a backend that
// knows more about a failure (the OS's text) logs it itself.
#include <cstddef>
#include <cstdint>

#include "platform/core/service.h"

namespace platform {

// What kind of device an output is. Only kMidiPort leads to external gear.
enum class MidiTechnology : uint16_t {
  kMidiPort = 1,            // a hardware MIDI port (a cable leaves the computer)
  kSynthesizer = 2,         // a synthesizer built into the sound hardware
  kSoftwareSynthesizer = 7, // a synthesizer in software
  kApplication = 8,         // another program's port
};

enum MidiError : int {
  kMidiOk = 0,
  kMidiBadDevice = 2,       // no device with that number (any more)
  kMidiAllocated = 4,       // the device is already open
  kMidiBadHandle = 5,       // the handle is not open
  kMidiNoMemory = 7,
  kMidiBadParameter = 11,   // null or malformed argument
  kMidiUnprepared = 64,     // the buffer was not prepared
  kMidiStillPlaying = 65,   // the buffer is still with the service
  kMidiNotReady = 67,       // the device is busy or failed
};

constexpr size_t kMidiNameSize = 32;  // product name: 31 characters and a terminator

struct MidiDeviceInfo {
  char name[kMidiNameSize] = {};
  // Outputs only; inputs report kMidiPort.
  MidiTechnology technology = MidiTechnology::kMidiPort;
};

// A caller-owned buffer handed to the service for one send or one receive.
// The caller clears it, points `data`/`length` at its memory and prepares
// it. While the buffer is queued (`queued`), the service owns `data`; when
// it is given back `done` is set (and for receives `bytesRecorded` says how
// many bytes were filled). A send the service took but could not complete
// comes back done with `error` set to the reason (0 when it went out).
struct MidiBuffer {
  uint8_t* data = nullptr;
  uint32_t length = 0;
  uint32_t bytesRecorded = 0;
  bool prepared = false;
  bool queued = false;
  bool done = false;
  int error = kMidiOk;
};

// For backends: hands every buffer of a list of pending sends (entries with
// a `buffer` member) back to its caller as done, and empties the list.
template <class Sends>
void GiveBackSends(Sends& sends) {
  for (auto& s : sends) {
    s.buffer->queued = false;
    s.buffer->done = true;
  }
  sends.clear();
}

// 0 means "no handle".
using MidiHandle = uint32_t;

class MidiService {
 public:
  virtual ~MidiService() = default;

  // Number of input devices; device numbers are 0..n-1 in a stable order.
  // Called at the start of each port search; it may re-list the devices.
  virtual uint32_t InputCount() = 0;
  // Number of output devices, likewise.
  virtual uint32_t OutputCount() = 0;
  // Describes input `device`. kMidiBadDevice when it does not exist (any more).
  virtual int InputInfo(uint32_t device, MidiDeviceInfo* info) = 0;
  // Describes output `device`, with its technology. kMidiBadDevice when it
  // does not exist (any more).
  virtual int OutputInfo(uint32_t device, MidiDeviceInfo* info) = 0;

  // Opens input `device` (no callback); input does not run until StartInput.
  // Writes the handle; on failure writes 0 and returns the error.
  virtual int OpenInput(uint32_t device, MidiHandle* handle) = 0;
  // Opens output `device`. Writes the handle; on failure 0 and the error.
  virtual int OpenOutput(uint32_t device, MidiHandle* handle) = 0;

  // Marks a caller's buffer ready for use with `handle`. Fails with
  // kMidiBadParameter on a null or empty buffer.
  virtual int PrepareBuffer(MidiHandle handle, MidiBuffer* buffer) = 0;
  // Ends the preparation. kMidiStillPlaying while the service still holds
  // the buffer (the caller must not free it then).
  virtual int UnprepareBuffer(MidiHandle handle, MidiBuffer* buffer) = 0;

  // Starts sending the complete SysEx message in `buffer` on an output. The
  // service reads `data` until it sets `done`; Poll moves the send on.
  // kMidiUnprepared for a buffer not prepared, kMidiStillPlaying when the
  // buffer is already queued.
  virtual int SendSysEx(MidiHandle output, MidiBuffer* buffer) = 0;
  // Gives back every unfinished send buffer of an output (done set). After
  // it the service keeps no pointer to them.
  virtual int ResetOutput(MidiHandle output) = 0;
  // Closes an output; unfinished sends are given back first.
  virtual int CloseOutput(MidiHandle output) = 0;

  // Queues a prepared receive buffer on an input. Buffers are filled in
  // queue order with SysEx bytes only (other messages are dropped); a
  // buffer is done at the end of a message or when it is full, and a longer
  // message goes on in the next buffer.
  virtual int AddInputBuffer(MidiHandle input, MidiBuffer* buffer) = 0;
  // Starts delivering input into the queued buffers.
  virtual int StartInput(MidiHandle input) = 0;
  // Stops delivering; a partly filled buffer is given back done.
  virtual int StopInput(MidiHandle input) = 0;
  // Stops and gives back every queued buffer (done set). After it the
  // service keeps no pointer to them.
  virtual int ResetInput(MidiHandle input) = 0;
  // Closes an input; queued buffers are given back first.
  virtual int CloseInput(MidiHandle input) = 0;

  // Moves pending sends and receives on to the present (the platform
  // clock). Never waits. Callers call it in every pass of a wait loop and
  // before looking at done flags.
  virtual void Poll() = 0;
};

// The MIDI service in force.
inline MidiService& Midi() { return Use<MidiService>(); }

// Declares, in the body of a class that implements the service, every
// operation above (documented there); the class defines them.
#define PLATFORM_MIDI_SERVICE_OPERATIONS                                                       \
  uint32_t InputCount() override;                                                              \
  uint32_t OutputCount() override;                                                             \
  int InputInfo(uint32_t device, ::platform::MidiDeviceInfo* info) override;                   \
  int OutputInfo(uint32_t device, ::platform::MidiDeviceInfo* info) override;                  \
  int OpenInput(uint32_t device, ::platform::MidiHandle* handle) override;                     \
  int OpenOutput(uint32_t device, ::platform::MidiHandle* handle) override;                    \
  int PrepareBuffer(::platform::MidiHandle handle, ::platform::MidiBuffer* buffer) override;   \
  int UnprepareBuffer(::platform::MidiHandle handle, ::platform::MidiBuffer* buffer) override; \
  int SendSysEx(::platform::MidiHandle output, ::platform::MidiBuffer* buffer) override;       \
  int ResetOutput(::platform::MidiHandle output) override;                                     \
  int CloseOutput(::platform::MidiHandle output) override;                                     \
  int AddInputBuffer(::platform::MidiHandle input, ::platform::MidiBuffer* buffer) override;   \
  int StartInput(::platform::MidiHandle input) override;                                       \
  int StopInput(::platform::MidiHandle input) override;                                        \
  int ResetInput(::platform::MidiHandle input) override;                                       \
  int CloseInput(::platform::MidiHandle input) override;                                       \
  void Poll() override;

}  // namespace platform
