#include "platform/midi/midi_handles.h"

namespace platform {

template <MidiDirection kDirection>
int MidiPortHandle<kDirection>::Open(uint32_t device) {
  Close();
  MidiService& midi = Midi();
  const int err = kDirection == MidiDirection::kInput ? midi.OpenInput(device, &handle_)
                                                      : midi.OpenOutput(device, &handle_);
  if (err) handle_ = 0;
  return err;
}

template <MidiDirection kDirection>
int MidiPortHandle<kDirection>::Close(void (*failed)(MidiStep, int), MidiStep* first) {
  if (!handle_) return kMidiOk;
  MidiService& midi = Midi();
  const MidiHandle h = handle_;
  handle_ = 0;
  int firstError = kMidiOk;
  auto step = [&](MidiStep which, int err) {
    if (!err) return;
    if (failed) failed(which, err);
    if (firstError == kMidiOk) {
      firstError = err;
      if (first) *first = which;
    }
  };
  if (kDirection == MidiDirection::kOutput) {
    step(MidiStep::kClose, midi.CloseOutput(h));
    return firstError;
  }
  step(MidiStep::kReset, midi.ResetInput(h));
  step(MidiStep::kStop, midi.StopInput(h));
  step(MidiStep::kClose, midi.CloseInput(h));
  return firstError;
}

template class MidiPortHandle<MidiDirection::kInput>;
template class MidiPortHandle<MidiDirection::kOutput>;

}  // namespace platform
