#pragma once
// A network that nothing else hears, for tests that send multicast or UDP.
//
// EnterPrivateNetwork() moves the calling process (and every child it
// starts afterwards) into a new network namespace of its own (`unshare -n`;
// needs root or CAP_SYS_ADMIN), brings the loopback interface up with
// multicast on and routes 224.0.0.0/4 to it. Nothing sent there can leave
// the machine or reach another process's network. AddBridge() adds a second
// interface: a bridge without ports (veth and dummy links are missing from
// some kernels) with an address of 10.77.0.0/24, multicast on, so replies
// can arrive on an interface other than loopback.
//
// Tests call REQUIRE_PRIVATE_NETWORK() first; where no namespace can be
// made (not root, no user namespaces) the test is skipped with the reason.
// CI runs as root, so there these tests always run.
#include <string>

namespace test_support {

// True when this process is (now) in its private network; else `why` says
// what failed. Entering twice is harmless.
bool EnterPrivateNetwork(std::string* why);
// Adds bridge `name` with `cidr` (e.g. "10.77.0.1/24"), up, multicast on.
bool AddBridge(const std::string& name, const std::string& cidr, std::string* why);
// The interface index of `name`, 0 when there is none.
unsigned InterfaceIndex(const std::string& name);

}  // namespace test_support

#define REQUIRE_PRIVATE_NETWORK()                                                   \
  do {                                                                              \
    std::string whyNot_;                                                            \
    if (!test_support::EnterPrivateNetwork(&whyNot_)) {                             \
      GTEST_SKIP() << "skipped: no private network namespace (" << whyNot_ << ")"; \
    }                                                                               \
  } while (0)
