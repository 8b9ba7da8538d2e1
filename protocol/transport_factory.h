#pragma once
#include <cstdint>

#include "platform/core/service.h"
#include "protocol/card_updater.h"
#include "protocol/orvella_interface.h"

// Makes the transport of one kind for COrvellaRemote::Open. The engine keeps
// its fixed order (driver, MIDI, network) and asks this service for each
// kind in turn, so a test or a simulation can put an in-process link under
// the engine without changing that order. Reached with
// platform::Use<TransportFactory>(). The program's start-up puts the real
// transports (transports/builtin_transports.h) in force; without that, the
// engine finds no transport of any kind.
class TransportFactory {
 public:
  virtual ~TransportFactory() = default;
  // A new, unopened transport of `type` (kTransportDriver, kTransportMidi,
  // kTransportNetwork), owned by the caller; nullptr when that kind is not
  // available in this build or process.
  virtual COrvellaInterface* Create(uint16_t type) = 0;
  // A new, unopened VE-ZER card updater owned by the caller; nullptr when
  // this build or process has no way to reach the card's driver.
  virtual CCardUpdater* CreateCardUpdater() { return nullptr; }
  // True when every link this factory makes leads to simulated units. The
  // built-in stand-in images are offered only then.
  virtual bool Simulated() const { return false; }
};
