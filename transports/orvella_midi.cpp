#include "transports/orvella_midi.h"

#include <algorithm>
#include <cstring>

#include "platform/core/clock.h"
#include "platform/core/log.h"
#include "platform/core/outside_text.h"
#include "platform/core/message_pump.h"
#include "protocol/codec.h"

using platform::MidiBuffer;
using platform::MidiDeviceInfo;
using platform::MidiHandle;
using platform::MidiService;

namespace {

uint32_t MidiNow() { return platform::Use<platform::Clock>().MidiTime(); }

// Blocks until a done flag can next have changed: the next millisecond of
// the MIDI clock, or later when the links know nothing changes before
// then, but never past `limit` ms. No window message is dispatched here: a
// transport operation must not be re-entered from a handler while it holds
// a buffer with the service.
void WaitQuietly(uint32_t limit) {
  platform::Clock& clock = platform::Use<platform::Clock>();
  uint32_t quiet = std::min(platform::Use<platform::WakeHint>().QuietMs(), limit);
  clock.WaitTicks(quiet);
}

bool EndsWith(const char* text, const char* tail) {
  size_t n = std::strlen(text), m = std::strlen(tail);
  return n >= m && std::strcmp(text + n - m, tail) == 0;
}

// The output device a probe answer names, or -1 when it is not an answer.
int AnsweredDevice(const MidiBuffer& b) {
  codec::Header h;
  if (b.bytesRecorded != COrvellaMIDI::kProbeAnswerLength || b.data[0] != codec::kSysEx ||
      !codec::FromManufacturer(b.data, b.bytesRecorded) || !codec::ParseHeader(b.data, b.bytesRecorded, &h) ||
      h.code != codec::kRegisterData || h.first < 64) {
    return -1;
  }
  return h.first - 64;
}

// Close logs every step of taking the input down that failed, and goes on.
void LogInputStepFailure(platform::MidiStep step, int err) {
  static const char* const kStep[] = {"midiInReset", "midiInStop", "midiInClose"};
  LogMessage("%s Failed! %lu\n", kStep[static_cast<int>(step)], static_cast<unsigned long>(err));
}

}  // namespace

COrvellaMIDI::COrvellaMIDI()
    : m_nSelected(0xFFFF),
      m_nInPorts(0),
      m_nOutPorts(0),
      m_nConnections(0),
      m_dwInDevice{},
      m_dwOutDevice{},
      m_RxHeader{},
      m_RxData{},
      m_nReadIndex(0),
      m_Send{},
      m_nPendingSend(-1),
      m_bAllowMIDIDialog(false),
      m_szPortFilter{} {}

COrvellaMIDI::~COrvellaMIDI() {
  // The receive buffers live in this object: the service must not keep them.
  ReleasePorts();
}

void COrvellaMIDI::ReleasePorts() {
  if (m_hMidiOut) AbandonSends();
  m_hMidiOut.Close();
  m_hMidiIn.Close();
}

void COrvellaMIDI::SetPortNameFilter(const char* text) {
  std::memset(m_szPortFilter, 0, sizeof m_szPortFilter);
  if (text) std::strncpy(m_szPortFilter, text, sizeof m_szPortFilter - 1);
}

bool COrvellaMIDI::UsableName(const char* name) const {
  if (m_szPortFilter[0] && !std::strstr(name, m_szPortFilter)) return false;
  // Loopback drivers would echo the probe back to us.
  return !EndsWith(name, "Virtual MIDI");
}

bool COrvellaMIDI::WaitForDone(const MidiBuffer& buffer, uint32_t start, uint32_t timeout) {
  MidiService& midi = platform::Midi();
  for (;;) {
    midi.Poll();
    if (buffer.done) return true;
    uint32_t elapsed = MidiNow() - start;
    if (elapsed > timeout) {
      LogMessage("COrvellaMIDI::WaitForDone Timeout! Elapsed %lu Timeout %lu\n", static_cast<unsigned long>(elapsed),
                 static_cast<unsigned long>(timeout));
      return false;
    }
    WaitQuietly(timeout - elapsed + 1);
  }
}

int COrvellaMIDI::SendAndWait(MidiHandle output, const uint8_t* data, int length, const char* who) {
  MidiService& midi = platform::Midi();
  MidiBuffer header;
  header.data = const_cast<uint8_t*>(data);
  header.length = length > 0 ? static_cast<uint32_t>(length) : 0;
  int err = midi.PrepareBuffer(output, &header);
  if (err) {
    LogMessage("%s: midiOutPrepareHeader [%d] Failed! [%08lx]\n", who, err, static_cast<unsigned long>(output));
    return 1;
  }
  int result = 0;
  err = midi.SendSysEx(output, &header);
  if (err) {
    LogMessage("%s: midiOutLongMsg [%d] Failed!\n", who, err);
    result = 1;
  }
  const uint32_t timeout = SendTimeout(length);
  if (!err && !WaitForDone(header, MidiNow(), timeout)) {
    LogMessage("%s: WaitForDone Timeout!\n", who);
    // The header lives on this stack frame: take it back from the service
    // before it goes away.
    midi.ResetOutput(output);
    midi.UnprepareBuffer(output, &header);
    return 1;
  }
  if (!err && header.error) {
    // Taken but not sent: the message never left.
    LogMessage("%s: midiOutLongMsg [%d] Failed!\n", who, header.error);
    result = 1;
  }
  err = midi.UnprepareBuffer(output, &header);
  if (err) {
    LogMessage("%s: midiOutUnprepareHeader [%d] Failed!\n", who, err);
    return 1;
  }
  return result;
}

bool COrvellaMIDI::ListPorts(uint32_t* outDevice, uint32_t* inDevice) {
  MidiService& midi = platform::Midi();
  MidiDeviceInfo info;
  const uint32_t outCount = std::min<uint32_t>(midi.OutputCount(), kMaxPorts);
  for (uint32_t d = 0; d < outCount; ++d) {
    if (midi.OutputInfo(d, &info) != 0) continue;
    if (info.technology != platform::MidiTechnology::kMidiPort || !UsableName(info.name)) continue;
    LogMessage("Found Out Port [%s]\n", EscapeOutsideText(info.name).c_str());
    outDevice[m_nOutPorts++] = d;
  }
  if (m_nOutPorts == 0) {
    LogMessage("COrvellaMIDI::Open: No Output Ports\n");
    return false;
  }
  const uint32_t inCount = std::min<uint32_t>(midi.InputCount(), kMaxPorts);
  for (uint32_t d = 0; d < inCount; ++d) {
    if (midi.InputInfo(d, &info) != 0 || !UsableName(info.name)) continue;
    LogMessage("Found In Port [%s]\n", EscapeOutsideText(info.name).c_str());
    inDevice[m_nInPorts++] = d;
  }
  if (m_nInPorts == 0) {
    LogMessage("COrvellaMIDI::Open: No Input Ports\n");
    return false;
  }
  return true;
}

bool COrvellaMIDI::ListenForProbes(const uint32_t* inDevice, Probe& probe) {
  MidiService& midi = platform::Midi();
  for (uint32_t i = 0; i < m_nInPorts; ++i) {
    // A port that will not open is logged and left out of the probe.
    if (int err = probe.in[i].Open(inDevice[i])) {
      LogMessage("COrvellaMIDI::Open: midiInOpen [%d] FAILED! [%d]\n", static_cast<int>(inDevice[i]), err);
      continue;
    }
    probe.header[i].data = probe.data[i];
    probe.header[i].length = kProbeReceiveSize;
    if (midi.PrepareBuffer(probe.in[i].get(), &probe.header[i])) {
      LogMessage("midiInPrepareHeader Failed!\n");
      return false;
    }
    if (midi.AddInputBuffer(probe.in[i].get(), &probe.header[i]) || midi.StartInput(probe.in[i].get())) {
      LogMessage("midiInAddBuffer Failed!\n");
      return false;
    }
  }
  return true;
}

bool COrvellaMIDI::SendProbes(const uint32_t* outDevice, Probe& probe) {
  for (uint32_t o = 0; o < m_nOutPorts; ++o) {
    if (int err = probe.out[o].Open(outDevice[o])) {
      LogMessage("COrvellaMIDI::Open: midiOutOpen [%d] FAILED! [%d]\n", static_cast<int>(outDevice[o]), err);
      continue;
    }
    uint8_t frame[codec::kShortLength];
    codec::BuildProbe(frame, static_cast<uint16_t>(outDevice[o]));
    int result = SendAndWait(probe.out[o].get(), frame, sizeof frame, "COrvellaMIDI::Write");
    if (result) {
      LogMessage("COrvellaMIDI::Open: Write Failed! %08lx\n", static_cast<unsigned long>(result));
      return false;
    }
  }
  return true;
}

bool COrvellaMIDI::PairAnswers(const uint32_t* inDevice, const uint32_t* outDevice, Probe& probe) {
  const uint32_t t0 = MidiNow();
  for (uint32_t i = 0; i < m_nInPorts; ++i) {
    if (!WaitForDone(probe.header[i], t0, kProbeWindowMs)) {
      LogMessage("COrvellaMIDI::Open: Input WaitForDone Timeout!\n");
      probe.in[i].Close();
      continue;
    }
    int device = AnsweredDevice(probe.header[i]);
    // Only an output this Open probed can have reached the unit.
    bool probed = std::find(outDevice, outDevice + m_nOutPorts, static_cast<uint32_t>(device)) !=
                  outDevice + m_nOutPorts;
    if (device >= 0 && probed && m_nConnections < kMaxConnections) {
      m_dwInDevice[m_nConnections] = inDevice[i];
      m_dwOutDevice[m_nConnections] = static_cast<uint32_t>(device);
      ++m_nConnections;
    }
    platform::MidiStep failed = platform::MidiStep::kReset;
    if (int err = probe.in[i].Close(nullptr, &failed)) {
      if (failed == platform::MidiStep::kReset) LogMessage("midiInReset Failed!\n");
      if (failed == platform::MidiStep::kStop) LogMessage("midiInStop Failed! %lu\n", static_cast<unsigned long>(err));
      if (failed == platform::MidiStep::kClose) LogMessage("midiInClose Failed!\n");
      return false;
    }
  }
  return true;
}

int COrvellaMIDI::Open() {
  ReleasePorts();
  m_nSelected = 0xFFFF;
  m_nInPorts = m_nOutPorts = m_nConnections = 0;

  uint32_t outDevice[kMaxPorts];
  uint32_t inDevice[kMaxPorts];
  if (!ListPorts(outDevice, inDevice)) return 1;
  // Every way out of here takes the probe's ports down with it.
  Probe probe;
  if (!ListenForProbes(inDevice, probe) || !SendProbes(outDevice, probe) ||
      !PairAnswers(inDevice, outDevice, probe)) {
    return 1;
  }
  for (uint32_t o = 0; o < m_nOutPorts; ++o) {
    if (probe.out[o].Close()) LogMessage("midiOutClose Failed!\n");
  }
  return m_nConnections > 0 ? 0 : 1;
}

int COrvellaMIDI::Close() {
  if (m_hMidiOut) {
    // The last message sent (a cancel, say) still goes out.
    FinishPendingSend("COrvellaMIDI::Close");
    int err = platform::Midi().ResetOutput(m_hMidiOut.get());
    if (err) LogMessage("midiOutReset Failed! %lu\n", static_cast<unsigned long>(err));
    err = m_hMidiOut.Close();
    if (err) LogMessage("midiOutClose Failed! %lu\n", static_cast<unsigned long>(err));
  }
  m_hMidiIn.Close(&LogInputStepFailure);
  m_nSelected = 0xFFFF;
  m_bAllowMIDIDialog = false;
  return 0;
}

bool COrvellaMIDI::IsOpen() { return m_hMidiOut && m_hMidiIn; }

int COrvellaMIDI::GetNumberOfConnections(uint16_t* count) {
  if (count) *count = static_cast<uint16_t>(m_nConnections);
  return 0;
}

void COrvellaMIDI::QueueReceive(int i) {
  MidiService& midi = platform::Midi();
  m_RxHeader[i] = MidiBuffer{};
  std::memset(m_RxData[i], 0, kReceiveSize);
  m_RxHeader[i].data = m_RxData[i];
  m_RxHeader[i].length = kReceiveSize;
  if (midi.PrepareBuffer(m_hMidiIn.get(), &m_RxHeader[i])) {
    LogMessage("midiInPrepareHeader Failed!\n");
  } else if (midi.AddInputBuffer(m_hMidiIn.get(), &m_RxHeader[i])) {
    LogMessage("midiInAddBuffer Failed!\n");
  }
}

int COrvellaMIDI::SelectConnection(uint16_t index) {
  if (index >= m_nConnections) return 1;
  if (index == m_nSelected) return 0;
  Close();
  m_nSelected = index;
  if (m_hMidiOut.Open(m_dwOutDevice[index])) {
    LogMessage("midiOutOpen [%d] Failed!\n", static_cast<int>(m_dwOutDevice[index]));
    return 1;
  }
  if (m_hMidiIn.Open(m_dwInDevice[index])) {
    LogMessage("midiInOpen [%d] Failed!\n", static_cast<int>(m_dwInDevice[index]));
    return 1;
  }
  for (int i = 0; i < kReceiveBuffers; ++i) QueueReceive(i);
  m_nReadIndex = 0;
  int err = platform::Midi().StartInput(m_hMidiIn.get());
  if (err) {
    LogMessage("COrvellaMIDI::SelectConnection: midiInStart Failed %d\n", err);
    return 1;
  }
  return 0;
}

int COrvellaMIDI::GetSelectedConnection(uint16_t* index) {
  if (index) *index = m_nSelected;
  return 0;
}

int COrvellaMIDI::GetConnectionName(uint16_t index, char* text, int size) {
  if (!text || size <= 0) return 1;
  MidiDeviceInfo info;
  std::string name = "midiOutGetDevCaps Error";
  int result = 1;
  if (index < m_nConnections && platform::Midi().OutputInfo(m_dwOutDevice[index], &info) == 0) {
    name = EscapeOutsideText(info.name);  // the port's name is shown and logged
    result = 0;
  }
  // Never more than the caller said it has room for.
  std::strncpy(text, name.c_str(), static_cast<size_t>(size) - 1);
  text[size - 1] = '\0';
  return result;
}

int COrvellaMIDI::Write(const uint8_t* data, int length) {
  static const char* const kWho = "COrvellaMIDI::Write";
  if (!m_hMidiOut) {
    LogMessage("COrvellaMIDI::Write: hMidiOut is NULL!\n");
    return 1;
  }
  if (length <= 0 || static_cast<uint32_t>(length) > kSendSize || !data) {
    // Nothing the protocol sends; keep the order and wait for it in full.
    if (FinishPendingSend(kWho)) return 1;
    return SendAndWait(m_hMidiOut.get(), data, length, kWho);
  }
  MidiService& midi = platform::Midi();
  // At most one message is ever left with the service, so the other slot
  // is free.
  const int slot = m_nPendingSend == 0 ? 1 : 0;
  SendSlot& s = m_Send[slot];
  std::memcpy(s.data, data, static_cast<size_t>(length));
  s.header = MidiBuffer{};
  s.header.data = s.data;
  s.header.length = static_cast<uint32_t>(length);
  int result = 0;
  int err = midi.PrepareBuffer(m_hMidiOut.get(), &s.header);
  if (err) {
    LogMessage("%s: midiOutPrepareHeader [%d] Failed! [%08lx]\n", kWho, err, static_cast<unsigned long>(m_hMidiOut.get()));
    return FinishPendingSend(kWho) | 1;
  }
  err = midi.SendSysEx(m_hMidiOut.get(), &s.header);
  if (err) {
    LogMessage("%s: midiOutLongMsg [%d] Failed!\n", kWho, err);
    midi.UnprepareBuffer(m_hMidiOut.get(), &s.header);
    result = 1;
  }
  // The new message is queued behind the previous one: wait for that one
  // only, so the wire never rests between the two. A time-out there takes
  // every buffer back, the new one with it.
  const int previous = FinishPendingSend(kWho);
  if (!err && s.header.prepared) {
    s.busy = true;
    s.start = MidiNow();
    m_nPendingSend = slot;
  }
  return result | previous;
}

int COrvellaMIDI::EndPendingSend(const char* who) {
  if (m_nPendingSend < 0) return 0;
  SendSlot& s = m_Send[m_nPendingSend];
  m_nPendingSend = -1;
  s.busy = false;
  int result = 0;
  if (s.header.error) {
    LogMessage("%s: midiOutLongMsg [%d] Failed!\n", who, s.header.error);
    result = 1;
  }
  int err = platform::Midi().UnprepareBuffer(m_hMidiOut.get(), &s.header);
  if (err) {
    LogMessage("%s: midiOutUnprepareHeader [%d] Failed!\n", who, err);
    result = 1;
  }
  return result;
}

void COrvellaMIDI::AbandonSends() {
  MidiService& midi = platform::Midi();
  midi.ResetOutput(m_hMidiOut.get());
  for (SendSlot& s : m_Send) {
    if (s.header.prepared) midi.UnprepareBuffer(m_hMidiOut.get(), &s.header);
    s.busy = false;
  }
  m_nPendingSend = -1;
}

int COrvellaMIDI::FinishPendingSend(const char* who) {
  if (m_nPendingSend < 0) return 0;
  SendSlot& s = m_Send[m_nPendingSend];
  if (!WaitForDone(s.header, s.start, SendTimeout(static_cast<int>(s.header.length)))) {
    LogMessage("%s: WaitForDone Timeout!\n", who);
    AbandonSends();
    return 1;
  }
  return EndPendingSend(who);
}

int COrvellaMIDI::CheckPendingSend(const char* who) {
  if (m_nPendingSend < 0) return 0;
  SendSlot& s = m_Send[m_nPendingSend];
  if (s.header.done) return EndPendingSend(who);
  const uint32_t timeout = SendTimeout(static_cast<int>(s.header.length));
  const uint32_t elapsed = MidiNow() - s.start;
  if (elapsed <= timeout) return 0;
  LogMessage("COrvellaMIDI::WaitForDone Timeout! Elapsed %lu Timeout %lu\n", static_cast<unsigned long>(elapsed),
             static_cast<unsigned long>(timeout));
  LogMessage("%s: WaitForDone Timeout!\n", who);
  AbandonSends();
  return 1;
}

int COrvellaMIDI::Read(uint8_t* buffer, int size, int* received) {
  if (received) *received = 0;
  if (!m_hMidiIn) {
    LogMessage("COrvellaMIDI::Read: m_hMidiIn NULL!\n");
    return 1;
  }
  MidiService& midi = platform::Midi();
  midi.Poll();
  // A message Write left with the service that failed fails the link here
  // when nothing more is written.
  if (CheckPendingSend("COrvellaMIDI::Write")) return 1;
  MidiBuffer& header = m_RxHeader[m_nReadIndex];
  int copied = 0;
  if (header.done && header.bytesRecorded > 0) {
    copied = static_cast<int>(std::min<uint32_t>(size > 0 ? static_cast<uint32_t>(size) : 0, header.bytesRecorded));
    if (copied > 0) std::memcpy(buffer, header.data, static_cast<size_t>(copied));
    int err = midi.UnprepareBuffer(m_hMidiIn.get(), &header);
    if (err) {
      LogMessage("COrvellaMIDI::Read: midiInUnprepareHeader Failed! %08lx\n", static_cast<unsigned long>(err));
      return 1;
    }
    QueueReceive(m_nReadIndex);
    m_nReadIndex = static_cast<uint16_t>((m_nReadIndex + 1) % kReceiveBuffers);
  }
  if (received) *received = copied;
  return 0;
}
