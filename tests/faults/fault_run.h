#pragma once
// One run of the fault matrix: the main window through the scripted host on
// the virtual clock, against unit models over the in-process link (the
// update rig of the workflow tests) or over the simulated MIDI service and
// host driver (a scenario), with a private temporary folder that must be
// empty again when the run is over.
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/reflash_dlg.h"
#include "platform/core/non_copyable.h"
#include "sim/scenarios/scenarios.h"
#include "tests/app/update_fixture.h"

namespace faults {

enum class Flow { kMain, kModule, kCard, kVezer, kSerial, kInput };
// kNetwork rows run the console binary too, on a private network against the
// network simulator.
enum class Link { kInProcess, kMidi, kDriver, kConsole, kNetwork };

const char* FlowName(Flow flow);
const char* LinkName(Link link);

// A fresh folder that TMPDIR points at from Activate on; the previous
// value comes back when the object goes.
class ScopedTempFolder : platform::NonCopyable {
 public:
  ScopedTempFolder();
  ~ScopedTempFolder();
  const std::filesystem::path& path() const { return path_; }
  void Activate();
  // From Activate on, TMPDIR names a folder inside this one that is not there.
  void Break() { broken_ = true; }
  // What is left in the folder, by name.
  std::vector<std::string> Leftovers() const;
  // Regular files anywhere below the folder.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path path_;
  std::optional<std::string> previous_;
  bool active_ = false;
  bool broken_ = false;
};

// The window's visible controls when the script last looked.
struct WindowLook {
  bool seen = false;  // false when the window ended before the script ran
  bool update = false;
  bool progress = false;
  bool congratulations = false;
  bool waitCursor = false;
  std::vector<std::string> tempFiles;  // files in the temporary folder at that moment
};

class FaultRun {
 public:
  FaultRun(Link link, const sim::UnitConfig& config);
  ~FaultRun();

  // Builds on a named scenario instead of a single unit (MIDI/driver runs).
  void UseScenario(const std::string& name);

  Link link() const { return link_; }
  test_support::ScriptedHost& Host();
  test_support::Script& Main() { return Host().ScriptFor(workflow_test::kMainDialog); }
  sim::UnitModel& Unit();
  // The first unit, or null when the run has none.
  sim::UnitModel* UnitIfAny() { return rig_ ? &rig_->unit : unit_; }
  // The in-process rig (null over the simulated services).
  workflow_test::Rig* Rig() { return rig_ ? &*rig_ : nullptr; }
  sim::Scenario* Scenario() { return scenario_.get(); }
  // The simulated MIDI output that leads to the first unit.
  uint32_t UnitOutput();
  const std::filesystem::path& WorkDir() const;
  std::string Log() const;

  // Writes an image file into the working folder and returns its path.
  std::string WriteImage(const std::string& name, size_t bytes);

  // Runs the window with `commandLine`; the script notes the window's look
  // after the row's own actions.
  RunOutcome Run(const std::string& commandLine);

  const WindowLook& Look() const { return look_; }
  // Destroys the window (as the program does when it exits), which gives
  // back the run's private temporary folder.
  void CloseWindow();
  // Whether the unit cancel command F0 00 01 54 5A 12 34 F7 left the host.
  bool CancelSent();
  std::vector<std::string> Messages() const;
  std::vector<std::string> TempLeftovers() const { return temp_.Leftovers(); }

  // The temporary folder the run sees does not exist.
  void BreakTempFolder() { temp_.Break(); }
  // Sets an environment variable for the run; the old value comes back.
  void SetEnv(const char* name, const char* value);
  // Keeps `object` alive until the window is gone (service overrides and
  // what they point at); kept objects go in reverse order.
  template <class T, class... Args>
  T& Keep(Args&&... args) {
    auto object = std::make_shared<T>(std::forward<Args>(args)...);
    kept_.push_back(object);
    return *object;
  }

 private:
  Link link_;
  sim::UnitConfig config_;
  ScopedTempFolder temp_;
  // In-process: everything in the rig.
  std::optional<workflow_test::Rig> rig_;
  // Over the simulated services.
  std::optional<ScopedWorkingDir> dir_;
  platform::VirtualClock clock_;
  std::optional<platform::Override<platform::Clock>> clockGuard_;
  std::optional<test_support::ScriptedHost> host_;
  std::unique_ptr<sim::Scenario> scenario_;
  sim::UnitModel* unit_ = nullptr;
  std::optional<CReflashDlg> dlg_;
  WindowLook look_;
  std::vector<std::shared_ptr<void>> kept_;
  std::vector<std::pair<std::string, std::optional<std::string>>> env_;
};

// One row of the matrix.
struct Row {
  const char* id;  // test name and table key
  Flow flow;
  Link link;
  const char* fault;
  std::vector<std::string> messages;  // message box texts that must appear, in order (parts of them)
  bool cancel;                        // the unit cancel command is sent
  const char* behaviour;              // the expected outcome, in words
  // In-window rows: sets up the faults and the user's script; returns the
  // command line. Console rows: prepares the folder and returns the arguments.
  std::function<std::string(FaultRun&)> arrange;
  std::function<std::string(const std::filesystem::path& folder)> console = nullptr;
  // Network rows: the simulator's arguments, blank-separated (null: no
  // simulator runs), and whether the test holds the host's receive port.
  const char* simulator = nullptr;
  bool holdReceivePort = false;
  // Console and network rows: a text the program's log must hold.
  const char* logged = nullptr;
};

const std::vector<Row>& Rows();
void PrintTo(const Row& row, std::ostream* os);

// The unit a row of `flow` runs against: a ZI-RERAR card for card rows, a
// ZM-DIG module for module rows, a blank serial number (and a card) for
// serial rows, a plain unit otherwise.
sim::UnitConfig ConfigFor(Flow flow);

// A console row's arguments starting with this run in a working folder
// that is removed before the program starts.
constexpr const char* kRemoveFolder = "@gone ";

}  // namespace faults
