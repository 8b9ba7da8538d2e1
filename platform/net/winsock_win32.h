#pragma once
// Winsock for the socket calls of this folder: started once per process,
// and its errors given in the errno values the callers test (EAGAIN for a
// call that would block, EINTR for an interrupted wait); other errors pass
// as Winsock's own codes.
#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform::net::win32 {

// Starts Winsock on first use; false when the system will not.
bool Started();

// errno value for Winsock error `code`.
int ErrnoOf(int code);

// -1 with the last Winsock error in `*error`.
inline int Failure(int* error) {
  if (error) *error = ErrnoOf(WSAGetLastError());
  return -1;
}

}  // namespace platform::net::win32
