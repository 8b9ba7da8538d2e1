#pragma once
// The transports this program is built with: the host driver, MIDI and
// network links (each behind the wire trace when --trace asks for one) and
// the VE-ZER card updater. The program's start-up puts them in force with
// platform::Override<TransportFactory>.
#include "protocol/transport_factory.h"

class BuiltInTransports final : public TransportFactory {
 public:
  COrvellaInterface* Create(uint16_t type) override;
  CCardUpdater* CreateCardUpdater() override;
};
