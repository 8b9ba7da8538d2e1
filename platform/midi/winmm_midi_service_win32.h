#pragma once
// The MIDI service on WinMM, whose calls it mirrors: devices are WinMM's
// own numbers, result codes are WinMM's (the MidiError values are theirs).
// Devices are opened without a callback (no thread of the driver's ever
// runs our code): a header the driver has finished carries MHDR_DONE, and
// Poll hands that on to the caller's buffer. Short messages never reach a
// buffer, so input is SysEx only.
#include <windows.h>
#include <mmsystem.h>

#include <map>
#include <memory>
#include <vector>

#include "platform/midi/midi_service.h"

namespace platform {

// The WinMM calls the service makes, behind an interface so that its logic
// can be tested against a fake device.
class WinMm {
 public:
  virtual ~WinMm() = default;
  virtual UINT InCount() = 0;
  virtual UINT OutCount() = 0;
  virtual MMRESULT InCaps(UINT device, MIDIINCAPSW* caps) = 0;
  virtual MMRESULT OutCaps(UINT device, MIDIOUTCAPSW* caps) = 0;
  virtual MMRESULT InOpen(HMIDIIN* in, UINT device) = 0;  // CALLBACK_NULL
  virtual MMRESULT OutOpen(HMIDIOUT* out, UINT device) = 0;
  virtual MMRESULT InPrepare(HMIDIIN in, MIDIHDR* header) = 0;
  virtual MMRESULT InUnprepare(HMIDIIN in, MIDIHDR* header) = 0;
  virtual MMRESULT InAddBuffer(HMIDIIN in, MIDIHDR* header) = 0;
  virtual MMRESULT InStart(HMIDIIN in) = 0;
  virtual MMRESULT InStop(HMIDIIN in) = 0;
  virtual MMRESULT InReset(HMIDIIN in) = 0;
  virtual MMRESULT InClose(HMIDIIN in) = 0;
  virtual MMRESULT OutPrepare(HMIDIOUT out, MIDIHDR* header) = 0;
  virtual MMRESULT OutUnprepare(HMIDIOUT out, MIDIHDR* header) = 0;
  virtual MMRESULT OutLongMsg(HMIDIOUT out, MIDIHDR* header) = 0;
  virtual MMRESULT OutReset(HMIDIOUT out) = 0;
  virtual MMRESULT OutClose(HMIDIOUT out) = 0;
};

// The system's winmm.dll.
WinMm& SystemWinMm();

class WinMmMidiService final : public MidiService {
 public:
  explicit WinMmMidiService(WinMm& winmm = SystemWinMm());
  ~WinMmMidiService() override;

  PLATFORM_MIDI_SERVICE_OPERATIONS

 private:
  struct Port {
    bool input = false;
    HMIDIIN in = nullptr;
    HMIDIOUT out = nullptr;
    // Prepared headers by the caller's buffer, and those queued, in order.
    std::map<MidiBuffer*, std::unique_ptr<MIDIHDR>> headers;
    std::vector<MidiBuffer*> queued;
  };

  Port* Find(MidiHandle handle, bool input);
  int Prepare(Port& port, MidiBuffer* buffer);
  int Queue(Port& port, MidiBuffer* buffer);
  void Collect(Port& port);
  void GiveBackAll(Port& port);
  int Close(MidiHandle handle, bool input);

  WinMm& winmm_;
  std::map<MidiHandle, std::unique_ptr<Port>> ports_;
  MidiHandle nextHandle_ = 1;
};

}  // namespace platform
