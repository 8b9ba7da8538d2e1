#pragma once
// Command line of reflash-sim-network.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sim/network/card_endpoints.h"
#include "sim/unit/unit_model.h"

namespace sim {

struct NetworkSimOptions {
  int cards = 1;
  std::vector<uint32_t> addresses;  // host order; card i defaults to CardAddress(i)
  std::vector<std::string> names;   // card i defaults to MakeCardAdvert's name
  // The maker's devices advertised beside the cards whose records never
  // resolve: their media TXT record has no "arcp_vers".
  int unresolvable = 0;
  std::vector<std::string> unresolvableNames;  // device i defaults to UnresolvableName(i)
  NetworkFaults network;            // the same for every card
  // Unit fault switches by name (see UnitFaultNames), applied to every unit.
  std::vector<std::pair<std::string, int>> unitFaults;
  int injectAfter = -1;             // inject once the first card took this many datagrams
  std::vector<uint8_t> injectPayload;  // empty: a status message reporting a programming error
  int lifetimeSeconds = 60;
  bool advertise = true;  // false: another responder advertises the cards
  bool help = false;
};

inline constexpr int kMaxCards = 16;
inline constexpr int kMaxUnresolvable = 500;
inline constexpr int kMaxLifetimeSeconds = 600;
// The address injected datagrams come from.
inline constexpr uint32_t kInjectorAddress = 0x7F000002;  // 127.0.0.2

// Card 0 at 127.0.0.1, where a host resolves a card heard on loopback;
// the others at 127.0.1.<index>.
uint32_t CardAddress(int index);

// "Orvella-Unresolvable-<index+1>".
std::string UnresolvableName(int index);

// Text with the escapes \n, \r, \t, \\ and \xHH made into the bytes they
// stand for; false on a broken escape.
bool Unescape(const std::string& text, std::string& out);

// False with `error` set on a bad option.
bool ParseNetworkSimOptions(const std::vector<std::string>& args, NetworkSimOptions& options, std::string& error);

// Sets the unit fault `name` to `value`; false when there is no such switch.
bool SetUnitFault(Faults& faults, const std::string& name, int value);
std::vector<std::string> UnitFaultNames();

std::string NetworkSimUsage();

// "a.b.c.d" (host order) both ways.
bool ParseAddress(const std::string& text, uint32_t& address);
std::string AddressText(uint32_t address);

}  // namespace sim
