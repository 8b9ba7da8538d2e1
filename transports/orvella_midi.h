#pragma once
// The MIDI transport: reaches units through pairs of MIDI ports of the MIDI
// service in force. Open probes every usable output at once and pairs each
// answer's input port with the output the answer names; a selected
// connection exchanges whole SysEx messages. No callbacks: buffers are
// handed to the service and their done flags polled against the MIDI clock.
#include <cstdint>

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

  COrvellaMIDI();
  ~COrvellaMIDI() override;

  int Open() override;
  int Close() override;
  void SetPortNameFilter(const char* text) override;
  bool IsOpen() override;
  int GetNumberOfConnections(uint16_t* count) override;
  int SelectConnection(uint16_t index) override;
  int GetSelectedConnection(uint16_t* index) override;
  int GetConnectionName(uint16_t index, char* text, int size) override;
  int Write(const uint8_t* data, int length) override;
  int Read(uint8_t* buffer, int size, int* received) override;

  // Send time-out of a message of `length` bytes: 0.64 ms per byte.
  static uint32_t SendTimeout(int length) { return static_cast<uint32_t>(length) * 640 / 1000; }

 private:
  bool UsableName(const char* name) const;
  // Sends `length` bytes on `output` and waits for the service to finish;
  // `who` names the caller in the time-out line. 0 or 1.
  int SendAndWait(platform::MidiHandle output, const uint8_t* data, int length, const char* who);
  // Waits until `buffer` is done or `timeout` ms have passed since `start`.
  // On time-out logs the first of the two time-out lines and returns false.
  bool WaitForDone(const platform::MidiBuffer& buffer, uint32_t start, uint32_t timeout);
  void QueueReceive(int i);
  void ReleasePorts();

  uint16_t m_nSelected;
  platform::MidiHandle m_hMidiIn;
  platform::MidiHandle m_hMidiOut;
  uint32_t m_nInPorts;
  uint32_t m_nOutPorts;
  uint32_t m_nConnections;
  uint32_t m_dwInDevice[kMaxConnections];
  uint32_t m_dwOutDevice[kMaxConnections];
  platform::MidiBuffer m_RxHeader[kReceiveBuffers];
  uint8_t m_RxData[kReceiveBuffers][kReceiveSize];
  uint16_t m_nReadIndex;
  bool m_bAllowMIDIDialog;
  char m_szPortFilter[256];
};
