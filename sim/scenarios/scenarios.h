#pragma once
// Named sets of simulated units and links for --simulate=NAME and for
// tests. Installing a scenario puts the simulated MIDI service and the
// simulated host driver in place of the real backends, for as long as the
// Scenario object lives. The network transport is kept out, unless the
// scenario has units on the simulated network: then it is the only
// transport, over the in-process network (sim/network/sim_network.h). Time
// is the clock in force; the simulated wire is unpaced unless asked.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/non_copyable.h"
#include "platform/core/program_files.h"
#include "platform/core/service.h"
#include "platform/devctl/device_control.h"
#include "platform/midi/midi_service.h"
#include "protocol/transport_factory.h"
#include "sim/links/sim_host_driver.h"
#include "sim/links/sim_midi_service.h"
#include "sim/network/sim_network.h"
#include "sim/unit/unit_model.h"
#include "sim/vezer/install/vezer_install.h"

namespace sim {

struct ScenarioOptions {
  bool pacing = false;  // 31,250 baud on the simulated MIDI wire
};

class Scenario : platform::NonCopyable {
 public:
  Scenario(std::string name, const ScenarioOptions& options);
  ~Scenario();

  const std::string& Name() const { return name_; }

  // Building (before Install).
  UnitModel& AddMidiUnit(const UnitConfig& config);
  UnitModel& AddDriverUnit(const UnitConfig& config);
  // A unit behind a network card on the in-process network.
  UnitModel& AddNetworkUnit(const UnitConfig& config);
  // Installs the simulated VE-ZER card driver library below a private
  // program-files folder that Install puts in force, so the engine's card
  // updater finds it; without the library the folder stays empty (a
  // computer where the driver is not installed).
  void AddVezerDriver(bool withLibrary = true);
  // The installed driver folder, or null.
  VezerDriverFolder* VezerDriver() { return vezerDriver_.get(); }

  // Puts the simulated services in force until the object is destroyed.
  void Install();

  std::vector<std::unique_ptr<UnitModel>>& Units() { return units_; }
  SimMidiService& Midi() { return *midi_; }
  SimHostDriver& Driver() { return *driver_; }
  // The in-process network, or null when no unit is on it.
  SimNetwork* Network() { return network_.get(); }

 private:
  class LocalLinksOnly;
  class NetworkLinkOnly;

  std::string name_;
  std::vector<std::unique_ptr<UnitModel>> units_;
  std::unique_ptr<SimMidiService> midi_;
  std::unique_ptr<SimHostDriver> driver_;
  std::unique_ptr<TransportFactory> transports_;
  std::unique_ptr<SimNetwork> network_;
  int midiUnits_ = 0;
  int driverUnits_ = 0;
  std::optional<platform::Override<platform::MidiService>> midiGuard_;
  std::optional<platform::Override<platform::WakeHint>> wakeGuard_;
  std::optional<platform::Override<platform::DeviceControl>> driverGuard_;
  std::optional<platform::Override<TransportFactory>> transportGuard_;
  std::unique_ptr<VezerDriverFolder> vezerDriver_;
  std::optional<platform::Override<platform::ProgramFiles>> programFilesGuard_;
};

// The scenario names, the default first.
std::vector<std::string> ScenarioNames();

// A one-line description of each scenario (same order as ScenarioNames).
std::string DescribeScenario(const std::string& name);

// Builds scenario `name` ("" is the default), not yet installed; null when
// there is no scenario of that name.
std::unique_ptr<Scenario> MakeScenario(const std::string& name, const ScenarioOptions& options = {});

}  // namespace sim
