#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/core/input_wait.h"
#include "platform/core/real_backend.h"

namespace platform {
namespace {

// The watched descriptors are Winsock sockets. Each one signals a shared
// event when a datagram arrives (WSAEventSelect), and a wait blocks on that
// event and on the thread's message queue together, so both an answer and
// a window message end it at once.
class WinsockInputWait final : public InputWait {
 public:
  WinsockInputWait() : arrived_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  void Watch(int descriptor) override {
    if (descriptor < 0 || !arrived_ || std::find(sockets_.begin(), sockets_.end(), descriptor) != sockets_.end()) {
      return;
    }
    // A socket that cannot signal is not watched: the loop then idles on
    // the clock, as it does with nothing watched.
    if (WSAEventSelect(static_cast<SOCKET>(descriptor), arrived_, FD_READ | FD_CLOSE) != 0) return;
    sockets_.push_back(descriptor);
  }

  void Forget(int descriptor) override {
    auto it = std::find(sockets_.begin(), sockets_.end(), descriptor);
    if (it == sockets_.end()) return;
    // A socket already closed refuses this; nothing is left to undo then.
    WSAEventSelect(static_cast<SOCKET>(descriptor), nullptr, 0);
    sockets_.erase(it);
  }

  bool Wait(uint32_t ms) override {
    if (sockets_.empty()) return false;
    // The event tells of arrivals from now on; what is queued already
    // ends the wait before it begins.
    ResetEvent(arrived_);
    if (AnyReadable()) return true;
    // Input that came since the queue was last looked at wakes the wait
    // too; a message already looked at does not, so an unanswered one
    // cannot make the loop spin.
    MsgWaitForMultipleObjectsEx(1, &arrived_, std::min<uint32_t>(ms, 60000), QS_ALLINPUT, 0);
    return true;
  }

 private:
  bool AnyReadable() {
    std::vector<WSAPOLLFD> set;
    set.reserve(sockets_.size());
    for (int s : sockets_) set.push_back(WSAPOLLFD{static_cast<SOCKET>(s), POLLRDNORM, 0});
    // A refused poll (a socket closed under us) ends the wait at once too:
    // the receive that follows reports what is wrong.
    return WSAPoll(set.data(), static_cast<ULONG>(set.size()), 0) != 0;
  }

  HANDLE arrived_;
  std::vector<int> sockets_;
};

}  // namespace

// Never destroyed: links held by other statics forget their sockets
// while the process ends.
PLATFORM_LASTING_BACKEND(InputWait, WinsockInputWait)

}  // namespace platform
