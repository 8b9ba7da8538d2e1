#include "sim/network/sim_network.h"

namespace sim {

SimNetwork::SimNetwork()
    : udp_(cards_, kSimHostAddress), libraries_(platform::Use<platform::DynamicLibraries>()) {}

// Guards first, the services they point at after.
SimNetwork::~SimNetwork() {
  librariesGuard_.reset();
  udpGuard_.reset();
}

CardEndpoints::Card& SimNetwork::AddCard(UnitModel* unit) {
  const int index = static_cast<int>(cards_.Cards().size());
  dnssd_.AddCard(MakeCardAdvert(index, SimCardAddress(index)));
  return cards_.AddCard(SimCardAddress(index), unit);
}

void SimNetwork::Install() {
  udpGuard_.emplace(udp_);
  librariesGuard_.emplace(libraries_);
}

}  // namespace sim
