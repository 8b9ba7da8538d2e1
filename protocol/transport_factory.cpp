#include "protocol/transport_factory.h"

namespace platform {
namespace {

// In force until start-up wires real transports: the engine finds nothing.
class NoTransports final : public TransportFactory {
 public:
  COrvellaInterface* Create(uint16_t) override { return nullptr; }
};

}  // namespace

template <>
TransportFactory& DefaultService<TransportFactory>() {
  static NoTransports none;
  return none;
}

}  // namespace platform
