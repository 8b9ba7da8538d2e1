#pragma once
// The receive half shared by the MIDI backends: turns the byte stream of one
// input into the caller's queued buffers, SysEx only, in queue order.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/midi/midi_service.h"

namespace platform {

class SysExInput {
 public:
  // Queues a caller's buffer (cleared: done false, nothing recorded).
  void Add(MidiBuffer* buffer);
  // Add after the checks every backend makes: kMidiBadParameter for a null
  // buffer, kMidiUnprepared, kMidiStillPlaying for one already queued;
  // else kMidiOk.
  int Queue(MidiBuffer* buffer);
  void Start() { running_ = true; }
  // Stops delivery; a partly filled buffer is given back done.
  void Stop();
  // Stops and gives back every queued buffer.
  void Reset();
  // Feeds raw MIDI bytes as they arrived on the wire. Bytes outside a SysEx
  // message, and everything while stopped, are dropped. A status byte
  // inside a message cuts it short: the buffer is given back with what it
  // holds. Real-time bytes (0xF8..0xFF) are ignored wherever they are.
  void Feed(const uint8_t* bytes, size_t n);
  // Bytes were lost on the way in: an unfinished message is cut short as a
  // status byte would cut it (its buffer comes back with what it holds).
  void Break();
  bool running() const { return running_; }
  // Bytes of SysEx messages that found no queued buffer.
  size_t lost() const { return lost_; }

 private:
  void Put(uint8_t byte);
  void FinishFront();

  std::deque<MidiBuffer*> queue_;
  bool running_ = false;
  bool inSysEx_ = false;
  size_t lost_ = 0;
};

// One of an input's controls (&SysExInput::Start, Stop or Reset) on its
// receiver; kMidiBadHandle when the backend found no such input.
inline int ControlInput(SysExInput* receiver, void (SysExInput::*control)()) {
  if (receiver == nullptr) return kMidiBadHandle;
  (receiver->*control)();
  return kMidiOk;
}

}  // namespace platform
