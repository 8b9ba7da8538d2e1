#pragma once
// The tests' name for the simulator's multicast DNS responder.
#include "sim/network/mdns/mdns_responder.h"

namespace test_support {

using TestResponder = sim::MdnsResponder;
using TestService = sim::AdvertisedService;
using sim::HostName;
using sim::InstanceName;
using sim::TypeName;

}  // namespace test_support
