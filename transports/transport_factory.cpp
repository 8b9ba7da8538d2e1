#include "protocol/transport_factory.h"

#include "transports/hal_midi.h"
#include "transports/orvella_midi.h"
#include "transports/wire_trace.h"

namespace platform {
namespace {

// The local links; the network transport comes with its own milestone.
class BuiltInTransports final : public TransportFactory {
 public:
  COrvellaInterface* Create(uint16_t type) override {
    COrvellaInterface* transport = nullptr;
    if (type == kTransportDriver) transport = new CHalMIDI();
    if (type == kTransportMidi) transport = new COrvellaMIDI();
    return WithWireTrace(transport);
  }
};

}  // namespace

template <>
TransportFactory& DefaultService<TransportFactory>() {
  static BuiltInTransports factory;
  return factory;
}

}  // namespace platform
