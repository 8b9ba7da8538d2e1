#include <poll.h>

#include <algorithm>
#include <vector>

#include "platform/core/input_wait.h"
#include "platform/core/real_backend.h"

namespace platform {
namespace {

// poll() over the watched descriptors.
class PollInputWait final : public InputWait {
 public:
  void Watch(int descriptor) override {
    if (descriptor < 0 || std::find(fds_.begin(), fds_.end(), descriptor) != fds_.end()) return;
    fds_.push_back(descriptor);
  }
  void Forget(int descriptor) override { fds_.erase(std::remove(fds_.begin(), fds_.end(), descriptor), fds_.end()); }
  bool Wait(uint32_t ms) override {
    if (fds_.empty()) return false;
    std::vector<pollfd> set;
    set.reserve(fds_.size());
    for (int fd : fds_) set.push_back(pollfd{fd, POLLIN, 0});
    // An interrupted wait (a signal) returns early on purpose: the loop
    // looks at its abort flag.
    poll(set.data(), set.size(), static_cast<int>(std::min<uint32_t>(ms, 60000)));
    return true;
  }

 private:
  std::vector<int> fds_;
};

}  // namespace

// Never destroyed: links held by other statics forget their descriptors
// while the process ends.
PLATFORM_LASTING_BACKEND(InputWait, PollInputWait)

}  // namespace platform
