#pragma once
// The MIDI transport: reaches units through pairs of MIDI ports of the MIDI
// service in force. Open probes every usable output at once and pairs each
// answer's input port with the output the answer names; a selected
// connection exchanges whole SysEx messages. No callbacks: buffers are
// handed to the service and their done flags polled against the MIDI clock.
//
// Sends are pipelined one deep: Write hands its message to the service and
// returns once the message before it is done, so consecutive messages
// leave back to back with no rest on the wire. A message's own failure
// (refused, or not done within its time-out) fails the next Write, or the
// next Read when nothing more is sent; Close waits for it first.
#include <cstdint>

#include "platform/midi/midi_handles.h"
#include "platform/midi/midi_service.h"
#include "protocol/orvella_interface.h"

class COrvellaMIDI : public COrvellaInterface {
 public:
  static constexpr int kMaxPorts = 64;
  static constexpr int kMaxConnections = 64;
  static constexpr int kReceiveBuffers = 4;
  static constexpr uint32_t kReceiveSize = 512;
  static constexpr uint32_t kProbeWindowMs = 500;
  static constexpr uint32_t kProbeReceiveSize = 32;
  static constexpr uint32_t kProbeAnswerLength = 10;
  // Messages up to this size go through the transport's own send buffers;
  // a longer one is sent from the caller's memory and waited for in full.
  static constexpr uint32_t kSendSize = 2048;

  COrvellaMIDI();
  ~COrvellaMIDI() override;

  ORVELLA_INTERFACE_OPERATIONS

  // Send time-out of a message of `length` bytes: 0.64 ms per byte.
  static uint32_t SendTimeout(int length) { return static_cast<uint32_t>(length) * 640 / 1000; }

 private:
  // The ports and buffers of one port search. The ports come last, so they
  // are taken down (and give their buffers back) before the buffers go.
  struct Probe {
    platform::MidiBuffer header[kMaxPorts];
    uint8_t data[kMaxPorts][kProbeReceiveSize] = {};
    platform::MidiInputHandle in[kMaxPorts];
    platform::MidiOutputHandle out[kMaxPorts];
  };
  // The steps of Open; each false return has been logged.
  bool ListPorts(uint32_t* outDevice, uint32_t* inDevice);
  bool ListenForProbes(const uint32_t* inDevice, Probe& probe);
  bool SendProbes(const uint32_t* outDevice, Probe& probe);
  // Waits for every input's answer, records the pairs and closes the inputs.
  bool PairAnswers(const uint32_t* inDevice, const uint32_t* outDevice, Probe& probe);

  bool UsableName(const char* name) const;
  // Sends `length` bytes on `output` and waits for the service to finish;
  // `who` names the caller in the time-out line. 0 or 1.
  int SendAndWait(platform::MidiHandle output, const uint8_t* data, int length, const char* who);
  // Waits until `buffer` is done or `timeout` ms have passed since `start`.
  // On time-out logs the first of the two time-out lines and returns false.
  bool WaitForDone(const platform::MidiBuffer& buffer, uint32_t start, uint32_t timeout);
  void QueueReceive(int i);
  void ReleasePorts();
  // Waits for the message still with the service, if any, and ends it.
  // 0, or 1 after its failure or time-out (logged; `who` names the wait).
  int FinishPendingSend(const char* who);
  // The same without waiting: 1 only when the pending message has failed
  // or is past its time-out.
  int CheckPendingSend(const char* who);
  // Ends the pending message once done; 1 when the service reports it failed.
  int EndPendingSend(const char* who);
  // Takes every send buffer back from the service (after a time-out).
  void AbandonSends();

  struct SendSlot {
    platform::MidiBuffer header;
    uint32_t start = 0;  // when its time-out began: it was queued, or the one before it was done
    bool busy = false;
    uint8_t data[kSendSize];
  };

  uint16_t m_nSelected;
  platform::MidiInputHandle m_hMidiIn;
  platform::MidiOutputHandle m_hMidiOut;
  uint32_t m_nInPorts;
  uint32_t m_nOutPorts;
  uint32_t m_nConnections;
  uint32_t m_dwInDevice[kMaxConnections];
  uint32_t m_dwOutDevice[kMaxConnections];
  platform::MidiBuffer m_RxHeader[kReceiveBuffers];
  uint8_t m_RxData[kReceiveBuffers][kReceiveSize];
  uint16_t m_nReadIndex;
  SendSlot m_Send[2];
  int m_nPendingSend;  // index into m_Send of the message still with the service, or -1
  bool m_bAllowMIDIDialog;
  char m_szPortFilter[256];
};
