#pragma once
// The handful of ALSA sequencer calls the MIDI service makes, behind an
// interface of our own so that the service's logic (pacing, errors, input
// cutting) can be tested against a fake where there is no sound kernel.
// Results follow the sequencer: 0 or a count for success, a negative errno
// for failure.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Port capability and type bits, with the sequencer's own values (the real
// backend checks them against its header).
namespace seq {
constexpr unsigned kCapRead = 1u << 0;
constexpr unsigned kCapWrite = 1u << 1;
constexpr unsigned kCapSubsRead = 1u << 5;
constexpr unsigned kCapSubsWrite = 1u << 6;
constexpr unsigned kCapNoExport = 1u << 7;

constexpr unsigned kTypeMidiGeneric = 1u << 1;
constexpr unsigned kTypeSynth = 1u << 10;
constexpr unsigned kTypeDirectSample = 1u << 11;
constexpr unsigned kTypeSample = 1u << 12;
constexpr unsigned kTypeHardware = 1u << 16;
constexpr unsigned kTypeSoftware = 1u << 17;
constexpr unsigned kTypeSynthesizer = 1u << 18;
constexpr unsigned kTypeApplication = 1u << 20;
}  // namespace seq

struct SeqPortInfo {
  int client = 0;
  int port = 0;
  std::string name;
  unsigned caps = 0;
  unsigned type = 0;
};

// One received event: a piece of a SysEx message (a long one arrives in
// several), or something else the service drops.
struct SeqEvent {
  int destPort = -1;  // our port it was delivered to
  bool sysex = false;
  const uint8_t* data = nullptr;  // valid until the next Receive
  uint32_t length = 0;
};

class Sequencer {
 public:
  virtual ~Sequencer() = default;
  // Opens our client (non-blocking); 0 once it is open. -ENOENT or
  // -EACCES where the sequencer's device cannot be used.
  virtual int Open() = 0;
  // Every port of the other clients (not ours, not the system's).
  virtual std::vector<SeqPortInfo> Ports() = 0;
  // 0 when another client's port is still there, -ENOENT when it is gone.
  virtual int FindPort(int client, int port) = 0;
  // Makes a port of ours; its number.
  virtual int CreatePort(const std::string& name, unsigned caps, unsigned type) = 0;
  virtual int DeletePort(int port) = 0;
  // Subscriptions between our port `local` and another client's port:
  // theirs to ours (input) or ours to theirs (output).
  virtual int ConnectFrom(int local, int client, int port) = 0;
  virtual int ConnectTo(int local, int client, int port) = 0;
  virtual int DisconnectFrom(int local, int client, int port) = 0;
  virtual int DisconnectTo(int local, int client, int port) = 0;
  // Hands one SysEx message from our port to its subscribers, directly.
  // -EAGAIN when the output pool is full (try again).
  virtual int SendSysEx(int local, const uint8_t* data, uint32_t length) = 0;
  // Takes the next input event: 1 with `event` filled, 0 when nothing is
  // waiting (-ENOSPC: the input overran and events were lost).
  virtual int Receive(SeqEvent* event) = 0;
  // Descriptors that become readable when input events arrive (for a wait
  // to block on); none where there is no sequencer.
  virtual std::vector<int> InputDescriptors() { return {}; }
};

// The real sequencer (libasound); it reports no sequencer where
// /dev/snd/seq is missing.
Sequencer& SystemSequencer();

}  // namespace platform
