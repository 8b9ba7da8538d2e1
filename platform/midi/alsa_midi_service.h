#pragma once
// The MIDI service on the ALSA sequencer. Output devices are the writable
// ports of the other clients, input devices the readable ones, in client
// and port order; a port of hardware type counts as a hardware MIDI port.
// The sequencer is opened non-blocking and served only inside the calls
// (no thread). Where there is no sequencer (/dev/snd/seq missing) every
// list is empty.
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi/midi_service.h"
#include "platform/midi/sysex_input.h"

typedef struct _snd_seq snd_seq_t;

namespace platform {

class AlsaMidiService final : public MidiService {
 public:
  AlsaMidiService();
  ~AlsaMidiService() override;

  // True once the sequencer could be opened.
  bool Available();

  uint32_t InputCount() override;
  uint32_t OutputCount() override;
  int InputInfo(uint32_t device, MidiDeviceInfo* info) override;
  int OutputInfo(uint32_t device, MidiDeviceInfo* info) override;
  int OpenInput(uint32_t device, MidiHandle* handle) override;
  int OpenOutput(uint32_t device, MidiHandle* handle) override;
  int PrepareBuffer(MidiHandle handle, MidiBuffer* buffer) override;
  int UnprepareBuffer(MidiHandle handle, MidiBuffer* buffer) override;
  int SendSysEx(MidiHandle output, MidiBuffer* buffer) override;
  int ResetOutput(MidiHandle output) override;
  int CloseOutput(MidiHandle output) override;
  int AddInputBuffer(MidiHandle input, MidiBuffer* buffer) override;
  int StartInput(MidiHandle input) override;
  int StopInput(MidiHandle input) override;
  int ResetInput(MidiHandle input) override;
  int CloseInput(MidiHandle input) override;
  void Poll() override;

 private:
  struct Device {
    int client;
    int port;
    std::string name;
    MidiTechnology technology;
  };
  struct Port {
    bool input;
    int localPort;
    int client;
    int port;
    std::deque<MidiBuffer*> sends;
    SysExInput receiver;
  };

  bool Open();
  void List();
  bool StillThere(const Device& d);
  int Describe(const std::vector<Device>& list, uint32_t device, MidiDeviceInfo* info);
  int OpenPort(bool input, uint32_t device, MidiHandle* handle);
  Port* Find(MidiHandle h, bool input);
  void ClosePort(MidiHandle h);
  void MoveSends(Port& port);

  snd_seq_t* seq_ = nullptr;
  int ownClient_ = -1;
  std::vector<Device> inputs_;
  std::vector<Device> outputs_;
  std::map<MidiHandle, std::unique_ptr<Port>> ports_;
  MidiHandle nextHandle_ = 1;
};

}  // namespace platform
