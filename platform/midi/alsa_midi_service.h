#pragma once
// The MIDI service on the ALSA sequencer. Output devices are the writable
// ports of the other clients, input devices the readable ones, in client
// and port order; a port of hardware type counts as a hardware MIDI port.
// The sequencer is opened non-blocking and served only inside the calls
// (no thread). Where there is no sequencer (/dev/snd/seq missing) every
// list is empty.
//
// The sequencer takes a message at once, long before it has left a MIDI
// cable, so a send is done only once its bytes have had time to leave at
// 31,250 baud behind what was sent before it on that port; a send the
// sequencer refuses comes back done with an error. Our own ports can be
// reached only by the subscriptions we make: they are neither exported
// nor open to other programs' subscriptions.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi/midi_service.h"
#include "platform/midi/sequencer.h"
#include "platform/midi/sysex_input.h"

namespace platform {

class AlsaMidiService final : public MidiService {
 public:
  static constexpr uint32_t kByteMicros = 320;  // 10 bits at 31,250 baud

  explicit AlsaMidiService(Sequencer& sequencer = SystemSequencer());
  ~AlsaMidiService() override;

  // True once the sequencer could be opened.
  bool Available();

  PLATFORM_MIDI_SERVICE_OPERATIONS

 private:
  struct Device {
    int client;
    int port;
    std::string name;
    MidiTechnology technology;
  };
  struct Send {
    MidiBuffer* buffer;
    bool handed = false;  // the sequencer has taken it
    uint64_t doneAt = 0;  // microseconds on the MIDI clock: its last byte has left
  };
  struct Port {
    bool input;
    int localPort;
    int client;
    int port;
    std::vector<Send> sends;  // in order; the handed ones first
    uint64_t wireFree = 0;    // when the last handed byte has left
    SysExInput receiver;
  };

  bool Open();
  void List();
  int Describe(const std::vector<Device>& list, uint32_t device, MidiDeviceInfo* info);
  int OpenPort(bool input, uint32_t device, MidiHandle* handle);
  Port* Find(MidiHandle h, bool input);
  SysExInput* Receiver(MidiHandle input);
  void ClosePort(MidiHandle h);
  void MoveSends(Port& port);
  void ReadInput();
  uint64_t NowUs();
  // Idle waits block on the sequencer's input descriptors while an input
  // port is open and nothing but input can change: a send the sequencer
  // could not take yet is moved on only by the next poll, which the clock
  // brings, so meanwhile they are not watched.
  void UpdateWatch();

  Sequencer& seq_;
  bool open_ = false;
  std::vector<Device> inputs_;
  std::vector<Device> outputs_;
  std::map<MidiHandle, std::unique_ptr<Port>> ports_;
  MidiHandle nextHandle_ = 1;
  int lastInputError_ = 0;  // logged once until input works again
  std::vector<int> watched_;  // descriptors put in the idle wait
};

}  // namespace platform
