#include "tests/support/private_network.h"

#include <net/if.h>
#include <sched.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace test_support {
namespace {

bool Run(const std::string& command, std::string* why) {
  int status = std::system((command + " >/dev/null 2>&1").c_str());
  if (status == 0) return true;
  if (why) *why = "'" + command + "' failed";
  return false;
}

}  // namespace

bool EnterPrivateNetwork(std::string* why) {
  static int state = 0;  // 0 not tried, 1 inside, -1 failed
  static std::string reason;
  if (state == 0) {
    if (unshare(CLONE_NEWNET) != 0) {
      reason = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
      state = -1;
    } else if (Run("ip link set lo up", &reason) && Run("ip link set lo multicast on", &reason) &&
               Run("ip route add 224.0.0.0/4 dev lo", &reason)) {
      state = 1;
    } else {
      state = -1;
    }
  }
  if (state < 0 && why) *why = reason;
  return state > 0;
}

bool AddBridge(const std::string& name, const std::string& cidr, std::string* why) {
  return Run("ip link add " + name + " type bridge", why) && Run("ip link set " + name + " multicast on up", why) &&
         Run("ip addr add " + cidr + " dev " + name, why);
}

unsigned InterfaceIndex(const std::string& name) { return if_nametoindex(name.c_str()); }

}  // namespace test_support
