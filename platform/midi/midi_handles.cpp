#include "platform/midi/midi_handles.h"

namespace platform {

int MidiInputHandle::Open(uint32_t device) {
  Close();
  const int err = Midi().OpenInput(device, &handle_);
  if (err) handle_ = 0;
  return err;
}

int MidiInputHandle::Close(void (*failed)(MidiInputStep, int), MidiInputStep* first) {
  if (!handle_) return kMidiOk;
  MidiService& midi = Midi();
  const MidiHandle h = handle_;
  handle_ = 0;
  int firstError = kMidiOk;
  auto step = [&](MidiInputStep which, int err) {
    if (!err) return;
    if (failed) failed(which, err);
    if (firstError == kMidiOk) {
      firstError = err;
      if (first) *first = which;
    }
  };
  step(MidiInputStep::kReset, midi.ResetInput(h));
  step(MidiInputStep::kStop, midi.StopInput(h));
  step(MidiInputStep::kClose, midi.CloseInput(h));
  return firstError;
}

int MidiOutputHandle::Open(uint32_t device) {
  Close();
  const int err = Midi().OpenOutput(device, &handle_);
  if (err) handle_ = 0;
  return err;
}

int MidiOutputHandle::Close() {
  if (!handle_) return kMidiOk;
  const MidiHandle h = handle_;
  handle_ = 0;
  return Midi().CloseOutput(h);
}

}  // namespace platform
