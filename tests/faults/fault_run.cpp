#include "tests/faults/fault_run.h"

#include <algorithm>
#include <cstring>

#include "app/resources/dialog_templates.h"
#include "protocol/codec.h"

namespace faults {

namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> kCancelFrame = {0xF0, 0x00, 0x01, 0x54, 0x5A, 0x12, 0x34, 0xF7};

bool HoldsCancel(const std::vector<uint8_t>& bytes) {
  return std::search(bytes.begin(), bytes.end(), kCancelFrame.begin(), kCancelFrame.end()) != bytes.end();
}

}  // namespace

const char* FlowName(Flow flow) {
  switch (flow) {
    case Flow::kMain: return "main unit";
    case Flow::kModule: return "ZM-DIG module";
    case Flow::kCard: return "ZI-RERAR card";
    case Flow::kVezer: return "VE-ZER card";
    case Flow::kSerial: return "serial number";
    case Flow::kInput: return "outside input";
  }
  return "";
}

const char* LinkName(Link link) {
  switch (link) {
    case Link::kInProcess: return "in-process";
    case Link::kMidi: return "MIDI";
    case Link::kDriver: return "driver";
    case Link::kConsole: return "console binary";
    case Link::kNetwork: return "network, console binary";
  }
  return "";
}

ScopedTempFolder::ScopedTempFolder() {
  std::string pattern = (fs::temp_directory_path() / "reflash-faults-tmp-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

void ScopedTempFolder::Activate() {
  if (active_) return;
  if (const char* old = std::getenv("TMPDIR")) previous_ = old;
  active_ = true;
  setenv("TMPDIR", (broken_ ? path_ / "absent" : path_).c_str(), 1);
}

ScopedTempFolder::~ScopedTempFolder() {
  if (!active_) {
  } else if (previous_) {
    setenv("TMPDIR", previous_->c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<std::string> ScopedTempFolder::Leftovers() const {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(path_, ignored)) names.push_back(entry.path().filename().string());
  return names;
}

std::vector<std::string> ScopedTempFolder::Files() const {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    if (entry.is_regular_file()) names.push_back(entry.path().string());
  }
  return names;
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.id; }

FaultRun::FaultRun(Link link, const sim::UnitConfig& config) : link_(link), config_(config) {
  // The working folder is made before TMPDIR moves, so it is not counted
  // as a leftover.
  if (link == Link::kInProcess) rig_.emplace(config);
}

FaultRun::~FaultRun() {
  dlg_.reset();
  if (rig_) rig_->dlg.reset();
  while (!kept_.empty()) kept_.pop_back();
  scenario_.reset();
  for (auto it = env_.rbegin(); it != env_.rend(); ++it) {
    if (it->second) {
      setenv(it->first.c_str(), it->second->c_str(), 1);
    } else {
      unsetenv(it->first.c_str());
    }
  }
}

void FaultRun::SetEnv(const char* name, const char* value) {
  const char* old = std::getenv(name);
  env_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  setenv(name, value, 1);
}

void FaultRun::UseScenario(const std::string& name) {
  if (scenario_) return;
  if (!dir_) dir_.emplace();
  clockGuard_.emplace(clock_);
  host_.emplace();
  scenario_ = name.empty() ? std::make_unique<sim::Scenario>("faults", sim::ScenarioOptions{})
                           : sim::MakeScenario(name);
  if (name.empty()) {
    unit_ = link_ == Link::kDriver ? &scenario_->AddDriverUnit(config_) : &scenario_->AddMidiUnit(config_);
  } else {
    unit_ = scenario_->Units().empty() ? nullptr : scenario_->Units().front().get();
  }
  scenario_->Install();
}

test_support::ScriptedHost& FaultRun::Host() {
  if (rig_) return rig_->host;
  UseScenario("");
  return *host_;
}

sim::UnitModel& FaultRun::Unit() {
  if (rig_) return rig_->unit;
  UseScenario("");
  return *unit_;
}

uint32_t FaultRun::UnitOutput() {
  sim::SimMidiService& midi = scenario_->Midi();
  for (uint32_t d = 0; d < midi.OutputCount(); ++d) {
    platform::MidiDeviceInfo info;
    if (midi.OutputInfo(d, &info) == 0 && std::strncmp(info.name, "Orvella(n) MIDI 1", sizeof info.name) == 0) return d;
  }
  return 0;
}

const fs::path& FaultRun::WorkDir() const { return rig_ ? rig_->dir.path() : dir_->path(); }

std::string FaultRun::Log() const { return rig_ ? rig_->dir.Log() : dir_->Log(); }

std::string FaultRun::WriteImage(const std::string& name, size_t bytes) {
  if (!rig_) UseScenario("");
  const std::vector<uint8_t> image = workflow_test::Pattern(bytes);
  const fs::path path = WorkDir() / name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return path.string();
}

RunOutcome FaultRun::Run(const std::string& commandLine) {
  Main().Do([this](test_support::MemoryDialog& d) {
    look_.seen = true;
    look_.update = d.IsVisible(resources::IDC_UPDATE);
    look_.progress = d.IsVisible(resources::IDC_PROGRESS);
    look_.congratulations = d.IsVisible(resources::IDC_CONGRATULATIONS);
    look_.waitCursor = Host().WaitCursor();
    look_.tempFiles = temp_.Files();
  });
  if (rig_) {
    temp_.Activate();
    return rig_->Run(commandLine);
  }
  UseScenario("");
  temp_.Activate();
  dlg_.emplace(commandLine);
  dlg_->DoModal();
  return dlg_->Outcome();
}

void FaultRun::CloseWindow() {
  dlg_.reset();
  if (rig_) rig_->dlg.reset();
}

bool FaultRun::CancelSent() {
  if (rig_) {
    for (const auto& w : rig_->wiring.written) {
      if (w.bytes == kCancelFrame) return true;
    }
    return false;
  }
  if (!scenario_) return false;
  if (link_ == Link::kDriver) {
    for (const auto& r : scenario_->Driver().Requests()) {
      if (HoldsCancel(r.in)) return true;
    }
    return false;
  }
  for (const auto& sent : scenario_->Midi().Sent(UnitOutput())) {
    if (sent == kCancelFrame) return true;
  }
  return false;
}

std::vector<std::string> FaultRun::Messages() const {
  std::vector<std::string> texts;
  const test_support::ScriptedHost& host = rig_ ? rig_->host : *host_;
  for (const auto& m : host.Messages()) texts.push_back((m.caption ? *m.caption + ": " : std::string()) + m.text);
  return texts;
}

}  // namespace faults
