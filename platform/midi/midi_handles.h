#pragma once
// Owners of open MIDI devices of the service in force. Each takes its
// device down once, in the one safe order, when told to or when it goes out
// of scope, so no way out of a caller can leave a device open or a buffer
// with the service.
#include <cstdint>

#include "platform/midi/midi_service.h"

namespace platform {

// The steps of taking an input down, in their order.
enum class MidiInputStep { kReset, kStop, kClose };

// One open input. Taking it down resets it (the service gives back every
// queued buffer, so the buffers may go away after it), stops and closes it.
class MidiInputHandle {
 public:
  MidiInputHandle() = default;
  ~MidiInputHandle() { Close(); }
  MidiInputHandle(const MidiInputHandle&) = delete;
  MidiInputHandle& operator=(const MidiInputHandle&) = delete;

  // Opens input `device`, taking down any input held first. The service's
  // result; the handle stays empty on failure.
  int Open(uint32_t device);
  // Resets, stops and closes the input; every step runs and the handle is
  // empty afterwards, whatever failed. Each failing step goes to `failed`
  // when given. Returns the first failure's error, kMidiOk when none (also
  // when nothing was open); `first` receives its step.
  int Close(void (*failed)(MidiInputStep step, int error) = nullptr, MidiInputStep* first = nullptr);

  MidiHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  MidiHandle handle_ = 0;
};

// One open output. Closing gives back its unfinished sends first; a caller
// that prepared send buffers resets the output and unprepares them before.
class MidiOutputHandle {
 public:
  MidiOutputHandle() = default;
  ~MidiOutputHandle() { Close(); }
  MidiOutputHandle(const MidiOutputHandle&) = delete;
  MidiOutputHandle& operator=(const MidiOutputHandle&) = delete;

  // Opens output `device`, closing any output held first. The service's
  // result; the handle stays empty on failure.
  int Open(uint32_t device);
  // Closes the output; empty afterwards. The service's result (kMidiOk
  // when nothing was open).
  int Close();

  MidiHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  MidiHandle handle_ = 0;
};

}  // namespace platform
