#pragma once
// Independent multicast DNS peers that advertise the network simulator's
// first card ("Orvella-ZI-RERAR-1", host "zi-rerar-1"), each a child
// process with its output in a file, for the end-to-end runs and the
// benchmarks. The test or benchmark must already be in its private network.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/non_copyable.h"

namespace test_support {

// A child process, its standard output and error in a file; ended with
// SIGTERM when destroyed.
class PeerProcess : platform::NonCopyable {
 public:
  PeerProcess(const std::vector<std::string>& argv, const std::filesystem::path& output);
  ~PeerProcess();

  // True once the output holds `text` (at most `limitMs`).
  bool WaitFor(const std::string& text, int limitMs) const;
  std::string Output() const;

 private:
  std::filesystem::path output_;
  pid_t pid_ = -1;
};

inline constexpr const char* kAvahiDaemon = "/usr/sbin/avahi-daemon";
// The card's address for avahi-daemon: local to this machine (the
// simulator answers for it) without belonging to any interface.
inline constexpr const char* kAvahiCardAddress = "10.77.0.20";

// Adds the bridge avahi-daemon runs on (it skips loopback) and the card's
// address; false with `why` set when that cannot be done.
bool PrepareAvahiNetwork(std::string* why);

// avahi-daemon advertising the card from `folder` (made and filled here):
// its own configuration, and its service and hosts files bound over the
// system's in a mount namespace of its own, so nothing of this machine's
// set-up is read or touched. D-Bus off, on the bridge only.
class AvahiCardPeer {
 public:
  explicit AvahiCardPeer(const std::filesystem::path& folder);
  // True once the card's services are established (at most `limitMs`).
  bool Established(int limitMs) const;
  std::string Output() const { return process_.Output(); }

 private:
  static std::vector<std::string> Command(const std::filesystem::path& folder);
  PeerProcess process_;
};

}  // namespace test_support
