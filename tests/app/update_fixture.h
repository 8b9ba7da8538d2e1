#pragma once
// A rig for the update and serial-number workflows: the main window runs
// through the scripted host on a virtual clock against a unit model over
// the in-process link. A tap between link and unit records the progress
// bar as each data packet arrives and can slip frames of its own in ahead
// of the unit's answers, to make the unit say what a test needs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "protocol/transport_factory.h"
#include "sim/links/inprocess_link.h"
#include "sim/unit/unit_model.h"
#include "tests/app/working_dir.h"
#include "tests/support/scripted_host.h"

namespace workflow_test {

constexpr int kMainDialog = resources::kMainDialog;
constexpr int kUpdate = resources::IDC_UPDATE;
constexpr int kUnitList = resources::IDC_MODEL;
constexpr int kProgress = resources::IDC_PROGRESS;

// The command code of a host frame (bits 6..3 of byte 4).
inline uint8_t CodeOf(const std::vector<uint8_t>& frame) {
  return frame.size() > 4 ? static_cast<uint8_t>((frame[4] >> 3) & 0x0F) : 0xFF;
}

inline std::vector<uint8_t> RegisterFrame(uint16_t start, const std::vector<uint8_t>& values) {
  std::vector<uint8_t> frame(codec::RegisterDataLength(start, static_cast<uint16_t>(values.size())));
  codec::BuildRegisterData(frame.data(), start, values.data(), static_cast<uint16_t>(values.size()));
  return frame;
}

class Tap final : public sim::BytePeer {
 public:
  Tap(sim::UnitModel& unit, test_support::ScriptedHost& host) : unit_(unit), host_(host) {}

  // Called for every host frame before the unit sees it, with the frame's
  // code and how many frames of that code came before it.
  std::function<void(uint8_t code, int nth)> onFrame;
  // Frames of this code never reach the unit, the next `loseCount` of them.
  uint8_t loseCode = 0xFF;
  int loseCount = 0;
  // Queues a frame that reaches the host ahead of anything the unit sends.
  void Inject(std::vector<uint8_t> frame) { injected_.insert(injected_.end(), frame.begin(), frame.end()); }
  // Slips a status report (register 9) in ahead of the unit's answer to
  // data packet `nth` (counted from 0).
  void InjectStatusAtPacket(int nth, uint8_t status) {
    onFrame = [this, nth, status](uint8_t code, int n) {
      if (code == codec::kDataPacket && n == nth) Inject(RegisterFrame(9, {status}));
    };
  }

  // Progress bar position when each data packet (and each verify request)
  // reached the unit.
  std::vector<int> barAtPacket;
  std::vector<int> barAtVerify;

  void FromHost(const uint8_t* data, size_t n, bool toCard) override {
    const std::vector<uint8_t> frame(data, data + n);
    const uint8_t code = CodeOf(frame);
    if (code == codec::kDataPacket) barAtPacket.push_back(Bar());
    if (code == codec::kNextVerifyPacket) barAtVerify.push_back(Bar());
    const int nth = counts_[code]++;
    if (onFrame) onFrame(code, nth);
    if (code == loseCode && loseCount > 0) {
      --loseCount;
      return;
    }
    unit_.FromHost(data, n, toCard);
  }

  size_t ToHost(uint8_t* out, size_t max) override {
    size_t n = 0;
    while (n < max && !injected_.empty()) {
      out[n++] = injected_.front();
      injected_.erase(injected_.begin());
    }
    return n + unit_.ToHost(out + n, max - n);
  }

 private:
  int Bar() {
    platform::console::MemoryDialog* main = host_.Open(kMainDialog);
    const platform::console::ControlState* bar = main ? main->State().Find(kProgress) : nullptr;
    return bar ? bar->pos : -1;
  }

  sim::UnitModel& unit_;
  test_support::ScriptedHost& host_;
  std::vector<uint8_t> injected_;
  std::map<uint8_t, int> counts_;
};

class Rig {
 public:
  explicit Rig(const sim::UnitConfig& config = sim::UnitConfig()) : unit(config), tap(unit, host) {
    wiring.Add(&tap, "Sim Link 1");
    transports.Serve(kTransportMidi, &wiring);
  }

  // Writes an image file into the working folder and returns its path.
  std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = dir.path() / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // Runs the main window modally with `commandLine`; the script of the
  // main dialog decides what the user does.
  RunOutcome Run(const std::string& commandLine = "", const RunSettings& settings = {}) {
    dlg.emplace(commandLine, settings);
    dlg->DoModal();
    return dlg->Outcome();
  }

  // Frames the host wrote with this command code.
  int Sent(uint8_t code) const {
    int n = 0;
    for (const auto& w : wiring.written) n += CodeOf(w.bytes) == code;
    return n;
  }
  std::vector<uint8_t> SentCodes() const {
    std::vector<uint8_t> codes;
    for (const auto& w : wiring.written) codes.push_back(CodeOf(w.bytes));
    return codes;
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& m : host.Messages()) texts.push_back(m.text);
    return texts;
  }

  // How a failed run reports itself: `cause` in the log and as the message
  // before the last, then `verdict` as the last.
  ::testing::AssertionResult ReportedFailure(const std::string& cause, const std::string& verdict) const {
    const std::vector<std::string> texts = MessageTexts();
    if (texts.size() < 2) return ::testing::AssertionFailure() << "only " << texts.size() << " messages";
    if (texts[texts.size() - 2] != cause) return ::testing::AssertionFailure() << "cause " << texts[texts.size() - 2];
    if (texts.back() != verdict) return ::testing::AssertionFailure() << "verdict " << texts.back();
    const std::string log = dir.Log();
    if (log.find(cause) == std::string::npos) return ::testing::AssertionFailure() << "cause not logged:\n" << log;
    return ::testing::AssertionSuccess();
  }

  bool Visible(int id) const {
    const platform::console::DialogState* main = host.Last(kMainDialog);
    const platform::console::ControlState* c = main ? main->Find(id) : nullptr;
    return c && c->visible;
  }

  ScopedWorkingDir dir;
  platform::VirtualClock clock;
  platform::Override<platform::Clock> useClock{clock};
  test_support::ScriptedHost host;
  sim::UnitModel unit;
  Tap tap;
  sim::LinkWiring wiring;
  sim::InProcessTransports transports;
  platform::Override<TransportFactory> useTransports{transports};
  std::optional<CReflashDlg> dlg;
};

// One case of a table of runs: its name, how the rig is arranged before the
// run, and the text the run is expected to show.
struct RigCase {
  const char* name;
  std::function<void(Rig&)> arrange;
  const char* text;
};

// Bytes 0..n-1 of a pattern no packet boundary hides.
inline std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1 + i / 251);
  return bytes;
}

}  // namespace workflow_test
