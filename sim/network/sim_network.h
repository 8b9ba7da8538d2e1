#pragma once
// The network side of a simulation, inside the process: cards in front of
// unit models, reached by the real network transport through the UDP
// service seam and found through an in-process DNS-SD library. Nothing is
// sent to any real network and no network set-up is needed.
#include <optional>

#include "platform/core/dynamic_library.h"
#include "platform/core/service.h"
#include "platform/net/udp_service.h"
#include "sim/network/card_endpoints.h"
#include "sim/network/sim_dnssd.h"
#include "sim/network/sim_udp_service.h"
#include "sim/unit/unit_model.h"

namespace sim {

inline constexpr uint32_t kSimHostAddress = 0xC0A84D01;  // 192.168.77.1, the computer
// Card `index` at 192.168.77.(10 + index).
constexpr uint32_t SimCardAddress(int index) { return 0xC0A84D0A + static_cast<uint32_t>(index); }

// Not copyable: its members (the simulated DNS-SD, the overrides it puts in
// force) are not.
class SimNetwork {
 public:
  SimNetwork();
  ~SimNetwork();

  // Puts a card in front of `unit` (not owned) at the next address and
  // advertises it. Returns its endpoint (fault switches, counts).
  CardEndpoints::Card& AddCard(UnitModel* unit);

  // Puts the UDP service and the DNS-SD library in force until destroyed.
  void Install();

  CardEndpoints& Cards() { return cards_; }
  SimUdpService& Udp() { return udp_; }
  SimDnsSd& DnsSd() { return dnssd_; }

 private:
  CardEndpoints cards_;
  SimUdpService udp_;
  SimDnsSd dnssd_;
  SimDnsSdLibraries libraries_;
  std::optional<platform::Override<platform::UdpService>> udpGuard_;
  std::optional<platform::Override<platform::DynamicLibraries>> librariesGuard_;
};

}  // namespace sim
