#include "platform/net/socket_wait.h"

#include <poll.h>

#include "platform/net/socket_error.h"

namespace platform::net {

int WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable, int* error) {
  readable.clear();
  std::vector<pollfd> fds;
  fds.reserve(sockets.size());
  for (int s : sockets) fds.push_back(pollfd{s, POLLIN, 0});
  int n = poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs);
  if (n < 0) return SocketFailure(error);
  for (const pollfd& p : fds) {
    // An error or hang-up also ends a wait: the following receive reports it.
    if (p.fd >= 0 && (p.revents & (POLLIN | POLLERR | POLLHUP)) != 0) readable.push_back(p.fd);
  }
  return static_cast<int>(readable.size());
}

}  // namespace platform::net
