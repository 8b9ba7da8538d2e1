#pragma once
#include <cstdint>

#include "platform/core/service.h"
#include "protocol/orvella_interface.h"

// Makes the transport of one kind for COrvellaRemote::Open. The engine keeps
// its fixed order (driver, MIDI, network) and asks this service for each
// kind in turn, so a test or a simulation can put an in-process link under
// the engine without changing that order. Reached with
// platform::Use<TransportFactory>(); the real backend lives in transports/.
class TransportFactory {
 public:
  virtual ~TransportFactory() = default;
  // A new, unopened transport of `type` (kTransportDriver, kTransportMidi,
  // kTransportNetwork), owned by the caller; nullptr when that kind is not
  // available in this build or process.
  virtual COrvellaInterface* Create(uint16_t type) = 0;
};
