#pragma once
// Waiting on sockets. poll() underneath, so descriptors of any value work
// (no FD_SETSIZE limit).
#include <vector>

namespace platform::net {

// Waits up to `timeoutMs` (0 = just look, negative = no limit) for any of
// `sockets` to become readable. Returns the number of readable sockets and
// lists them in `readable` (in the order given); 0 on time-out; -1 on
// failure with the OS error in `error` (EINTR included: callers treat an
// interrupted wait like a time-out or retry as they see fit).
int WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable, int* error = nullptr);

}  // namespace platform::net
