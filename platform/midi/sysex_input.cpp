#include "platform/midi/sysex_input.h"

namespace platform {

void SysExInput::Add(MidiBuffer* buffer) {
  buffer->done = false;
  buffer->bytesRecorded = 0;
  buffer->queued = true;
  queue_.push_back(buffer);
}

int SysExInput::Queue(MidiBuffer* buffer) {
  if (!buffer) return kMidiBadParameter;
  if (!buffer->prepared) return kMidiUnprepared;
  if (buffer->queued) return kMidiStillPlaying;
  Add(buffer);
  return kMidiOk;
}

void SysExInput::FinishFront() {
  MidiBuffer* b = queue_.front();
  queue_.pop_front();
  b->queued = false;
  b->done = true;
}

void SysExInput::Stop() {
  running_ = false;
  inSysEx_ = false;
  if (!queue_.empty() && queue_.front()->bytesRecorded > 0) FinishFront();
}

void SysExInput::Reset() {
  running_ = false;
  inSysEx_ = false;
  while (!queue_.empty()) FinishFront();
}

void SysExInput::Put(uint8_t byte) {
  if (queue_.empty()) {
    ++lost_;
    return;
  }
  MidiBuffer* b = queue_.front();
  b->data[b->bytesRecorded++] = byte;
  if (b->bytesRecorded >= b->length) FinishFront();
}

void SysExInput::Break() {
  if (inSysEx_ && !queue_.empty() && queue_.front()->bytesRecorded > 0) FinishFront();
  inSysEx_ = false;
}

void SysExInput::Feed(const uint8_t* bytes, size_t n) {
  if (!running_) return;
  for (size_t i = 0; i < n; ++i) {
    uint8_t c = bytes[i];
    if (c >= 0xF8) continue;
    if (c == 0xF0) {
      // A new message cuts an unfinished one short.
      if (inSysEx_ && !queue_.empty() && queue_.front()->bytesRecorded > 0) FinishFront();
      inSysEx_ = true;
      Put(c);
    } else if (c == 0xF7) {
      if (!inSysEx_) continue;
      inSysEx_ = false;
      Put(c);
      if (!queue_.empty() && queue_.front()->bytesRecorded > 0) FinishFront();
    } else if (c & 0x80) {
      if (inSysEx_ && !queue_.empty() && queue_.front()->bytesRecorded > 0) FinishFront();
      inSysEx_ = false;
    } else if (inSysEx_) {
      Put(c);
    }
  }
}

}  // namespace platform
