#include "sim/scenarios/scenarios.h"

#include <functional>

#include "protocol/product_ids.h"
#include "protocol/serial_packing.h"
#include "sim/network/card_unit.h"
#include "transports/builtin_transports.h"

namespace sim {

// The real driver and MIDI transports over the simulated services; no
// network transport, so a simulation never reaches the real network.
class Scenario::LocalLinksOnly final : public TransportFactory {
 public:
  COrvellaInterface* Create(uint16_t type) override {
    if (type != kTransportDriver && type != kTransportMidi) return nullptr;
    return builtIn_.Create(type);
  }
  bool Simulated() const override { return true; }

  // The real binding, over the simulated driver library a scenario installs.
  CCardUpdater* CreateCardUpdater() override { return builtIn_.CreateCardUpdater(); }

 private:
  BuiltInTransports builtIn_;
};

// The network transport only, over the in-process network the scenario
// installs; its units are reached by no other link.
class Scenario::NetworkLinkOnly final : public TransportFactory {
 public:
  COrvellaInterface* Create(uint16_t type) override {
    return type == kTransportNetwork ? builtIn_.Create(type) : nullptr;
  }
  bool Simulated() const override { return true; }

 private:
  BuiltInTransports builtIn_;
};

Scenario::Scenario(std::string name, const ScenarioOptions& options)
    : name_(std::move(name)),
      midi_(std::make_unique<SimMidiService>(SimMidiOptions{options.pacing, 0})),
      driver_(std::make_unique<SimHostDriver>()),
      transports_(std::make_unique<LocalLinksOnly>()) {
  // A computer also has ports that lead to no unit; the port filters must
  // pass them over.
  midi_->AddStandardExtras();
}

// Guards go first, the services they point at after.
Scenario::~Scenario() {
  programFilesGuard_.reset();
  transportGuard_.reset();
  driverGuard_.reset();
  wakeGuard_.reset();
  midiGuard_.reset();
}

UnitModel& Scenario::AddMidiUnit(const UnitConfig& config) {
  units_.push_back(std::make_unique<UnitModel>(config));
  midi_->AddUnitPorts("Orvella(n) MIDI " + std::to_string(++midiUnits_), units_.back().get());
  return *units_.back();
}

UnitModel& Scenario::AddDriverUnit(const UnitConfig& config) {
  units_.push_back(std::make_unique<UnitModel>(config));
  SimAdapter adapter;
  adapter.unit = units_.back().get();
  adapter.productId = config.productId;
  driver_->SetAdapter(driverUnits_++, adapter);
  return *units_.back();
}

UnitModel& Scenario::AddNetworkUnit(const UnitConfig& config) {
  if (!network_) {
    network_ = std::make_unique<SimNetwork>();
    transports_ = std::make_unique<NetworkLinkOnly>();
  }
  units_.push_back(std::make_unique<UnitModel>(config));
  network_->AddCard(units_.back().get());
  return *units_.back();
}

void Scenario::AddVezerDriver(bool withLibrary) {
  vezerDriver_ = std::make_unique<VezerDriverFolder>(withLibrary ? 0 : -1);
}

void Scenario::Install() {
  if (vezerDriver_) programFilesGuard_.emplace(vezerDriver_->Service());
  midiGuard_.emplace(*midi_);
  wakeGuard_.emplace(*midi_);
  driverGuard_.emplace(*driver_);
  transportGuard_.emplace(*transports_);
  if (network_) network_->Install();
}

namespace {

// Packed serial numbers: model, year, week, unit number.
constexpr uint32_t Serial(uint32_t model, uint32_t year, uint32_t week, uint32_t number) {
  return serial_packing::Pack(model, year, week, number);
}

struct Entry {
  const char* name;
  const char* description;
  std::function<void(Scenario&)> build;
};

UnitConfig Unit(uint32_t number) {
  UnitConfig c;
  c.serial = Serial(0x60, 18, 45, number);
  return c;
}

UnitConfig VeZerUnit() {
  UnitConfig unit = Unit(1234);
  unit.card.id = kCardVeZer;
  unit.card.major = 9;
  unit.card.minor = 0;
  unit.card.serial = Serial(0x32, 18, 20, 5);
  return unit;
}

// A unit of another model: its product id, firmware and serial number.
UnitConfig OtherModel(uint8_t productId, uint8_t major, uint8_t minor, uint32_t serial) {
  UnitConfig c;
  c.productId = productId;
  c.major = major;
  c.minor = minor;
  c.serial = serial;
  return c;
}

// An Orvella 16 of the current generation: firmware 20 polls the high
// registers too.
UnitConfig Orvella16() { return OtherModel(kProductOrvella16, 20, 1, Serial(kProductOrvella16, 18, 30, 316)); }

// A Vinto with firmware 6: 16-bit register addresses.
UnitConfig Vinto() { return OtherModel(kProductVinto, 6, 0, Serial(kProductVinto, 18, 12, 77)); }

const std::vector<Entry>& Table() {
  static const std::vector<Entry> table = {
      {"default", "one Orvella(n) over MIDI, firmware 1.2 of Nov 2018, a valid serial number",
       [](Scenario& s) { s.AddMidiUnit(Unit(1234)); }},
      {"two-units-card", "two units over MIDI, the first with a ZI-RERAR card",
       [](Scenario& s) {
         UnitConfig first = Unit(1234);
         first.card.id = kCardZiRerar;
         first.card.major = 1;
         first.card.minor = 1;
         first.card.pcb = 1;
         first.card.serial = Serial(0x15, 18, 40, 77);
         s.AddMidiUnit(first);
         s.AddMidiUnit(Unit(1235));
       }},
      {"ten-cards", "ten units over MIDI, each with a ZI-RERAR card: twenty entries for a list of sixteen",
       [](Scenario& s) {
         for (uint32_t i = 0; i < 10; ++i) {
           UnitConfig unit = Unit(1300 + i);
           unit.card.id = kCardZiRerar;
           unit.card.major = 1;
           unit.card.minor = 1;
           unit.card.pcb = 1;
           unit.card.serial = Serial(0x15, 18, 40, 100 + i);
           s.AddMidiUnit(unit);
         }
       }},
      {"zmdig", "a unit with a ZM-DIG module, then a second unit",
       [](Scenario& s) {
         UnitConfig first = Unit(1234);
         first.hasModule = true;
         first.modulePcb = 2;
         s.AddMidiUnit(first);
         s.AddMidiUnit(Unit(1235));
       }},
      {"zthd", "a unit with a ZT-HD card (which has no built-in image)",
       [](Scenario& s) {
         UnitConfig unit = Unit(1234);
         unit.card.id = 24;
         s.AddMidiUnit(unit);
       }},
      {"vezer", "a unit with a VE-ZER card (firmware 9) over MIDI, with the card's driver library installed",
       [](Scenario& s) {
         s.AddMidiUnit(VeZerUnit());
         s.AddVezerDriver(true);
       }},
      {"vezer-no-driver", "a unit with a VE-ZER card over MIDI, without the card's driver library",
       [](Scenario& s) {
         s.AddMidiUnit(VeZerUnit());
         s.AddVezerDriver(false);
       }},
      {"blank-serial", "one unit over MIDI whose serial number is blank",
       [](Scenario& s) {
         UnitConfig unit = Unit(0);
         unit.serial = kBlankSerial;
         s.AddMidiUnit(unit);
       }},
      {"thunderbolt", "two units behind the host driver (Thunderbolt)",
       [](Scenario& s) {
         s.AddDriverUnit(Unit(1234));
         s.AddDriverUnit(Unit(1235));
       }},
      {"orvella16",
       "an Orvella 16 (firmware 20, rolling poll, short forms only) over MIDI, which the updater passes over, "
       "then an Orvella(n) that reports product id 38",
       [](Scenario& s) {
         s.AddMidiUnit(Orvella16());
         UnitConfig second = Unit(1235);
         second.productId = 38;
         second.register6 = 96;
         s.AddMidiUnit(second);
       }},
      {"vinto",
       "a Vinto (firmware 6, 16-bit register addresses) over MIDI, which the updater passes over, then an "
       "Orvella(n)",
       [](Scenario& s) {
         s.AddMidiUnit(Vinto());
         s.AddMidiUnit(Unit(1235));
       }},
      {"network",
       "a unit with a ZI-RERAR card reached only over the network, simulated inside the program (no datagram "
       "leaves it)",
       [](Scenario& s) { s.AddNetworkUnit(ZiRerarUnit(0)); }},
      {"none", "MIDI ports and the host driver, but no unit", [](Scenario&) {}},
  };
  return table;
}

}  // namespace

std::vector<std::string> ScenarioNames() {
  std::vector<std::string> names;
  for (const auto& e : Table()) names.push_back(e.name);
  return names;
}

std::string DescribeScenario(const std::string& name) {
  for (const auto& e : Table()) {
    if (name == e.name) return e.description;
  }
  return {};
}

std::unique_ptr<Scenario> MakeScenario(const std::string& name, const ScenarioOptions& options) {
  const std::string wanted = name.empty() ? Table().front().name : name;
  for (const auto& e : Table()) {
    if (wanted != e.name) continue;
    auto scenario = std::make_unique<Scenario>(wanted, options);
    e.build(*scenario);
    return scenario;
  }
  return nullptr;
}

}  // namespace sim
