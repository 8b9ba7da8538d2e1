#pragma once
// Owners of open MIDI devices of the service in force. Each takes its
// device down once, in the one safe order, when told to or when it goes out
// of scope, so no way out of a caller can leave a device open or a buffer
// with the service.
#include <cstdint>

#include "platform/core/non_copyable.h"
#include "platform/midi/midi_service.h"

namespace platform {

enum class MidiDirection { kInput, kOutput };

// The steps of taking a device down, in their order. An input is reset (the
// service gives back every queued buffer, so the buffers may go away after
// it), stopped and closed. An output is only closed, which gives back its
// unfinished sends; a caller that prepared send buffers resets the output
// and unprepares them before.
enum class MidiStep { kReset, kStop, kClose };

template <MidiDirection kDirection>
class MidiPortHandle : NonCopyable {
 public:
  MidiPortHandle() = default;
  ~MidiPortHandle() { Close(); }

  // Opens `device`, taking down any device held first. The service's
  // result; the handle stays empty on failure.
  int Open(uint32_t device);
  // Takes the device down; every step runs and the handle is empty
  // afterwards, whatever failed. Each failing step goes to `failed` when
  // given. Returns the first failure's error, kMidiOk when none (also when
  // nothing was open); `first` receives its step.
  int Close(void (*failed)(MidiStep step, int error) = nullptr, MidiStep* first = nullptr);

  MidiHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  MidiHandle handle_ = 0;
};

using MidiInputHandle = MidiPortHandle<MidiDirection::kInput>;
using MidiOutputHandle = MidiPortHandle<MidiDirection::kOutput>;

extern template class MidiPortHandle<MidiDirection::kInput>;
extern template class MidiPortHandle<MidiDirection::kOutput>;

}  // namespace platform
