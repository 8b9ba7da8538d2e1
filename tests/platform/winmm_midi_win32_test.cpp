// The WinMM MIDI service against a fake driver: headers finished by the
// driver reach the caller's buffers only through Poll, names and kinds come
// from the device capabilities, and nothing is left queued after a reset or
// a close.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/midi/winmm_midi_service_win32.h"

namespace {

using platform::MidiBuffer;
using platform::MidiDeviceInfo;
using platform::MidiHandle;
using platform::MidiTechnology;

// One input and two outputs. Like a driver, it keeps the headers it was
// handed and marks them done when the test says the bytes have gone or come.
class FakeWinMm final : public platform::WinMm {
 public:
  std::wstring inName = L"ZM-DIG MIDI In";
  std::vector<std::pair<std::wstring, WORD>> outputs = {{L"Microsoft GS Wavetable Synth", MOD_SWSYNTH},
                                                         {L"ZM-DIG MIDI Out", MOD_MIDIPORT}};
  std::deque<MIDIHDR*> sent;      // handed to OutLongMsg, not yet done
  std::deque<MIDIHDR*> inputs;    // handed to InAddBuffer, not yet filled
  std::vector<std::string> calls;  // "in-start", "out-reset", ...
  bool started = false;

  UINT InCount() override { return 1; }
  UINT OutCount() override { return static_cast<UINT>(outputs.size()); }
  MMRESULT InCaps(UINT device, MIDIINCAPSW* caps) override {
    if (device != 0) return MMSYSERR_BADDEVICEID;
    wcsncpy(caps->szPname, inName.c_str(), MAXPNAMELEN - 1);
    return MMSYSERR_NOERROR;
  }
  MMRESULT OutCaps(UINT device, MIDIOUTCAPSW* caps) override {
    if (device >= outputs.size()) return MMSYSERR_BADDEVICEID;
    wcsncpy(caps->szPname, outputs[device].first.c_str(), MAXPNAMELEN - 1);
    caps->wTechnology = outputs[device].second;
    return MMSYSERR_NOERROR;
  }
  MMRESULT InOpen(HMIDIIN* in, UINT device) override {
    if (device != 0) return MMSYSERR_BADDEVICEID;
    if (inOpen_) return MMSYSERR_ALLOCATED;
    inOpen_ = true;
    *in = reinterpret_cast<HMIDIIN>(0x10);
    return MMSYSERR_NOERROR;
  }
  MMRESULT OutOpen(HMIDIOUT* out, UINT device) override {
    if (device >= outputs.size()) return MMSYSERR_BADDEVICEID;
    *out = reinterpret_cast<HMIDIOUT>(0x20 + device);
    return MMSYSERR_NOERROR;
  }
  MMRESULT InPrepare(HMIDIIN, MIDIHDR* h) override { return Prepare(h); }
  MMRESULT InUnprepare(HMIDIIN, MIDIHDR* h) override { return Unprepare(h); }
  MMRESULT InAddBuffer(HMIDIIN, MIDIHDR* h) override {
    if (!(h->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    h->dwFlags = (h->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
    inputs.push_back(h);
    return MMSYSERR_NOERROR;
  }
  MMRESULT InStart(HMIDIIN) override {
    started = true;
    calls.push_back("in-start");
    return MMSYSERR_NOERROR;
  }
  MMRESULT InStop(HMIDIIN) override {
    started = false;
    calls.push_back("in-stop");
    return MMSYSERR_NOERROR;
  }
  MMRESULT InReset(HMIDIIN) override {
    calls.push_back("in-reset");
    for (MIDIHDR* h : inputs) Finish(h);
    inputs.clear();
    return MMSYSERR_NOERROR;
  }
  MMRESULT InClose(HMIDIIN) override {
    inOpen_ = false;
    calls.push_back("in-close");
    return MMSYSERR_NOERROR;
  }
  MMRESULT OutPrepare(HMIDIOUT, MIDIHDR* h) override { return Prepare(h); }
  MMRESULT OutUnprepare(HMIDIOUT, MIDIHDR* h) override { return Unprepare(h); }
  MMRESULT OutLongMsg(HMIDIOUT, MIDIHDR* h) override {
    if (!(h->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
    h->dwFlags = (h->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
    sent.push_back(h);
    return MMSYSERR_NOERROR;
  }
  MMRESULT OutReset(HMIDIOUT) override {
    calls.push_back("out-reset");
    for (MIDIHDR* h : sent) Finish(h);
    sent.clear();
    return MMSYSERR_NOERROR;
  }
  MMRESULT OutClose(HMIDIOUT) override {
    calls.push_back("out-close");
    return MMSYSERR_NOERROR;
  }

  // The oldest send has left the cable; returns its bytes.
  std::vector<uint8_t> CompleteSend() {
    MIDIHDR* h = sent.front();
    sent.pop_front();
    Finish(h);
    return std::vector<uint8_t>(h->lpData, h->lpData + h->dwBufferLength);
  }
  // A SysEx message arrives into the oldest queued input buffer.
  void Receive(const std::vector<uint8_t>& bytes) {
    MIDIHDR* h = inputs.front();
    inputs.pop_front();
    std::memcpy(h->lpData, bytes.data(), bytes.size());
    h->dwBytesRecorded = static_cast<DWORD>(bytes.size());
    Finish(h);
  }

 private:
  static MMRESULT Prepare(MIDIHDR* h) {
    h->dwFlags |= MHDR_PREPARED;
    return MMSYSERR_NOERROR;
  }
  static MMRESULT Unprepare(MIDIHDR* h) {
    if (h->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
    h->dwFlags &= ~MHDR_PREPARED;
    return MMSYSERR_NOERROR;
  }
  static void Finish(MIDIHDR* h) { h->dwFlags = (h->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE; }
  bool inOpen_ = false;
};

struct Buffer {
  explicit Buffer(std::vector<uint8_t> bytes) : data(std::move(bytes)) {
    buffer.data = data.data();
    buffer.length = static_cast<uint32_t>(data.size());
  }
  std::vector<uint8_t> data;
  MidiBuffer buffer;
};

TEST(WinMmMidiService, ListsDevicesByNameAndKind) {
  FakeWinMm winmm;
  winmm.outputs.push_back({L"A name far longer than the thirty-one characters a device name holds", MOD_MIDIPORT});
  platform::WinMmMidiService midi(winmm);
  ASSERT_EQ(midi.InputCount(), 1u);
  ASSERT_EQ(midi.OutputCount(), 3u);
  MidiDeviceInfo info;
  ASSERT_EQ(midi.InputInfo(0, &info), platform::kMidiOk);
  EXPECT_STREQ(info.name, "ZM-DIG MIDI In");
  EXPECT_EQ(info.technology, MidiTechnology::kMidiPort);
  ASSERT_EQ(midi.OutputInfo(0, &info), platform::kMidiOk);
  EXPECT_EQ(info.technology, MidiTechnology::kSoftwareSynthesizer);
  ASSERT_EQ(midi.OutputInfo(1, &info), platform::kMidiOk);
  EXPECT_STREQ(info.name, "ZM-DIG MIDI Out");
  EXPECT_EQ(info.technology, MidiTechnology::kMidiPort);
  ASSERT_EQ(midi.OutputInfo(2, &info), platform::kMidiOk);
  EXPECT_EQ(std::strlen(info.name), platform::kMidiNameSize - 1);
  EXPECT_EQ(midi.OutputInfo(3, &info), platform::kMidiBadDevice);
  EXPECT_EQ(midi.InputInfo(0, nullptr), platform::kMidiBadParameter);
}

TEST(WinMmMidiService, ASendIsDoneOnlyOnceTheDriverHasFinishedIt) {
  FakeWinMm winmm;
  platform::WinMmMidiService midi(winmm);
  MidiHandle out = 0;
  ASSERT_EQ(midi.OpenOutput(1, &out), platform::kMidiOk);
  Buffer first({0xF0, 0x01, 0xF7}), second({0xF0, 0x02, 0x03, 0xF7});
  EXPECT_EQ(midi.SendSysEx(out, &first.buffer), platform::kMidiUnprepared);
  ASSERT_EQ(midi.PrepareBuffer(out, &first.buffer), platform::kMidiOk);
  ASSERT_EQ(midi.PrepareBuffer(out, &second.buffer), platform::kMidiOk);
  ASSERT_EQ(midi.SendSysEx(out, &first.buffer), platform::kMidiOk);
  ASSERT_EQ(midi.SendSysEx(out, &second.buffer), platform::kMidiOk);
  EXPECT_EQ(midi.SendSysEx(out, &first.buffer), platform::kMidiStillPlaying);
  EXPECT_EQ(midi.UnprepareBuffer(out, &first.buffer), platform::kMidiStillPlaying);

  midi.Poll();
  EXPECT_FALSE(first.buffer.done);
  EXPECT_EQ(winmm.CompleteSend(), first.data);
  EXPECT_FALSE(first.buffer.done) << "the driver's flag reaches the buffer in Poll only";
  midi.Poll();
  EXPECT_TRUE(first.buffer.done);
  EXPECT_FALSE(first.buffer.queued);
  EXPECT_FALSE(second.buffer.done);
  EXPECT_EQ(midi.UnprepareBuffer(out, &first.buffer), platform::kMidiOk);

  // A reset gives the unfinished send back.
  ASSERT_EQ(midi.ResetOutput(out), platform::kMidiOk);
  EXPECT_TRUE(second.buffer.done);
  EXPECT_FALSE(second.buffer.queued);
  EXPECT_EQ(midi.CloseOutput(out), platform::kMidiOk);
  EXPECT_EQ(midi.SendSysEx(out, &second.buffer), platform::kMidiBadHandle);
}

TEST(WinMmMidiService, ReceivesSysExIntoQueuedBuffersInOrder) {
  FakeWinMm winmm;
  platform::WinMmMidiService midi(winmm);
  MidiHandle in = 0;
  ASSERT_EQ(midi.OpenInput(0, &in), platform::kMidiOk);
  MidiHandle again = 0;
  EXPECT_EQ(midi.OpenInput(0, &again), platform::kMidiAllocated);
  EXPECT_EQ(again, 0u);
  Buffer a(std::vector<uint8_t>(16)), b(std::vector<uint8_t>(16));
  ASSERT_EQ(midi.PrepareBuffer(in, &a.buffer), platform::kMidiOk);
  ASSERT_EQ(midi.PrepareBuffer(in, &b.buffer), platform::kMidiOk);
  ASSERT_EQ(midi.AddInputBuffer(in, &a.buffer), platform::kMidiOk);
  ASSERT_EQ(midi.AddInputBuffer(in, &b.buffer), platform::kMidiOk);
  EXPECT_EQ(midi.SendSysEx(in, &a.buffer), platform::kMidiBadHandle) << "an input is not an output";
  ASSERT_EQ(midi.StartInput(in), platform::kMidiOk);
  EXPECT_TRUE(winmm.started);

  winmm.Receive({0xF0, 0x7E, 0x01, 0xF7});
  midi.Poll();
  EXPECT_TRUE(a.buffer.done);
  EXPECT_EQ(a.buffer.bytesRecorded, 4u);
  EXPECT_EQ(std::vector<uint8_t>(a.data.begin(), a.data.begin() + 4), (std::vector<uint8_t>{0xF0, 0x7E, 0x01, 0xF7}));
  EXPECT_FALSE(b.buffer.done);

  // Closing resets first: the waiting buffer comes back and the device is
  // free to open again.
  ASSERT_EQ(midi.CloseInput(in), platform::kMidiOk);
  EXPECT_TRUE(b.buffer.done);
  EXPECT_EQ(b.buffer.bytesRecorded, 0u);
  EXPECT_EQ(winmm.calls.back(), "in-close");
  EXPECT_EQ(midi.OpenInput(0, &again), platform::kMidiOk);
}

TEST(WinMmMidiService, TheSystemServiceAnswersWithoutDevices) {
  // Under Wine without a sound driver, or on a machine without MIDI: every
  // device number is refused cleanly rather than crashing.
  platform::WinMmMidiService midi;
  MidiDeviceInfo info;
  EXPECT_EQ(midi.OutputInfo(midi.OutputCount() + 5, &info), platform::kMidiBadDevice);
  MidiHandle handle = 1;
  EXPECT_NE(midi.OpenInput(midi.InputCount() + 5, &handle), platform::kMidiOk);
  EXPECT_EQ(handle, 0u);
}

}  // namespace
