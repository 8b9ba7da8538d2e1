// Which addresses discovery may take for a card.
#include "transports/card_address.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/net/byte_order.h"

namespace {

using platform::net::InterfaceInfo;

// A dotted address in network order, as the interface list and the
// discovery library hand them over; written out here so the test needs no
// socket header.
uint32_t Addr(const char* dotted) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  EXPECT_EQ(std::sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d), 4) << dotted;
  return platform::net::HostToNetwork32((a << 24) | (b << 16) | (c << 8) | d);
}

std::vector<InterfaceInfo> Computer() {
  InterfaceInfo lo;
  lo.name = "lo";
  lo.index = 1;
  lo.loopback = true;
  lo.addresses = {{Addr("127.0.0.1"), Addr("255.0.0.0")}};
  InterfaceInfo lan;
  lan.name = "eth0";
  lan.index = 2;
  lan.addresses = {{Addr("10.77.0.1"), Addr("255.255.255.0")},
                   {Addr("192.168.5.9"), Addr("255.255.0.0")}};
  InterfaceInfo point;  // a /31 link: both addresses are hosts
  point.name = "p2p";
  point.index = 3;
  point.addresses = {{Addr("172.16.0.0"), Addr("255.255.255.254")}};
  return {lo, lan, point};
}

TEST(CardAddress, AddressesNoCardCanHaveAreRefused) {
  constexpr unsigned kLo = 1, kLan = 2, kUnknown = 99;
  struct Case {
    const char* address;
    unsigned heardOn;
    bool refused;
  } cases[] = {
      {"10.77.0.20", kLan, false},
      {"192.168.77.10", kUnknown, false},
      {"172.16.0.1", kLan, false},
      {"0.0.0.0", kLan, true},
      {"0.1.2.3", kLo, true},
      {"224.0.0.251", kLan, true},
      {"239.255.255.250", kLo, true},
      {"255.255.255.255", kLan, true},
      {"10.77.0.255", kLan, true},     // the broadcast of the network it came from
      {"192.168.255.255", kLo, true},  // of a second address's network
      {"127.255.255.255", kLo, true},
      // On this computer: only a record heard on the loopback may say so.
      {"127.0.0.1", kLo, false},
      {"127.0.1.2", kLo, false},
      {"127.0.1.2", kLan, true},
      {"127.0.0.1", kUnknown, true},
      {"10.77.0.1", kLo, false},
      {"10.77.0.1", kLan, true},
      {"192.168.5.9", kUnknown, true},
  };
  const std::vector<InterfaceInfo> computer = Computer();
  for (const Case& c : cases) {
    const char* why = CardAddressRefusal(Addr(c.address), c.heardOn, computer);
    EXPECT_EQ(why != nullptr, c.refused) << c.address << " heard on " << c.heardOn << ": " << (why ? why : "taken");
  }
  EXPECT_EQ(DottedAddress(Addr("192.168.0.10")), "192.168.0.10");
}

}  // namespace
