#include "platform/net/socket_wait.h"
#include "platform/net/winsock_win32.h"

namespace platform::net {

int WaitReadable(const std::vector<int>& sockets, int timeoutMs, std::vector<int>& readable, int* error) {
  readable.clear();
  if (!win32::Started()) return win32::Failure(error);
  std::vector<WSAPOLLFD> fds;
  fds.reserve(sockets.size());
  for (int s : sockets) fds.push_back(WSAPOLLFD{static_cast<SOCKET>(s), POLLRDNORM, 0});
  if (fds.empty()) {
    // WSAPoll refuses an empty set; the wait is then only a sleep.
    if (timeoutMs != 0) Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    return 0;
  }
  int n = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs < 0 ? -1 : timeoutMs);
  if (n == SOCKET_ERROR) return win32::Failure(error);
  for (const WSAPOLLFD& p : fds) {
    // An error or hang-up also ends a wait: the following receive reports it.
    if ((p.revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0) readable.push_back(static_cast<int>(p.fd));
  }
  return static_cast<int>(readable.size());
}

}  // namespace platform::net
