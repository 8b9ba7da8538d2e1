#include "protocol/transport_factory.h"

// In force until start-up wires real transports: the engine finds nothing.
template <>
TransportFactory& platform::DefaultService<TransportFactory>() {
  static struct NoTransports final : TransportFactory {
    COrvellaInterface* Create(uint16_t) override { return nullptr; }
  } none;
  return none;
}
