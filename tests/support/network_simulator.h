#pragma once
// The network simulator (reflash-sim-network) as a child process of a test,
// its standard output in a file. The test must already be in its private
// network (REQUIRE_PRIVATE_NETWORK), which the child then shares.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/non_copyable.h"

namespace test_support {

class NetworkSimulator : platform::NonCopyable {
 public:
  // Starts `program` with `args`; its output goes to `output`.
  NetworkSimulator(const std::string& program, const std::vector<std::string>& args,
                   const std::filesystem::path& output);
  ~NetworkSimulator();

  // True once it says it serves (at most `limitMs`).
  bool Ready(int limitMs = 20000) const;
  // Ends it with SIGTERM and returns everything it wrote, its final report
  // of each card's flash included. Later calls return the same text.
  std::string Stop();
  std::string Output() const;

 private:
  std::filesystem::path output_;
  pid_t pid_ = -1;
};

}  // namespace test_support
