#pragma once
// Which addresses discovery may take for a card. A DNS-SD record can name
// any address, and every datagram of an update goes where it says; an
// address that no card can have would send the unit protocol to this very
// computer, to every host on a network, or nowhere.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/interfaces.h"

// Why `address` (network byte order) cannot be a card's, or null when it
// can be. `heardOn` is the index of the interface the address record came
// from; `interfaces` are this computer's. Refused everywhere: 0.0.0.0/8,
// multicast (224.0.0.0/4), the limited broadcast and the broadcast address
// of any local network. Refused from any interface but the loopback:
// 127.0.0.0/8 and this computer's own addresses.
const char* CardAddressRefusal(uint32_t address, unsigned heardOn,
                               const std::vector<platform::net::InterfaceInfo>& interfaces);

// "a.b.c.d" of an address in network byte order.
std::string DottedAddress(uint32_t address);
