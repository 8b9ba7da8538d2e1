#pragma once
// Winsock for the socket calls of this folder: started once per process,
// and its errors given in the errno values the callers test (EAGAIN for a
// call that would block, EINTR for an interrupted wait); other errors pass
// as Winsock's own codes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cerrno>

namespace platform::net::win32 {

// Starts Winsock on first use; false when the system will not.
bool Started();

// errno value for Winsock error `code`; the library of our own uses it too,
// so it is written here in full.
inline int ErrnoOf(int code) {
  switch (code) {
    case WSAEWOULDBLOCK:
      return EAGAIN;
    case WSAEINTR:
      return EINTR;
    case WSAEMSGSIZE:
      return EMSGSIZE;
    case WSAEADDRINUSE:
      return EADDRINUSE;
    case WSAEADDRNOTAVAIL:
      return EADDRNOTAVAIL;
    case WSAENETUNREACH:
      return ENETUNREACH;
    case WSAEHOSTUNREACH:
      return EHOSTUNREACH;
    case WSAEACCES:
      return EACCES;
    case WSAENOBUFS:
      return ENOBUFS;
    case WSAEBADF:
    case WSAENOTSOCK:
      return EBADF;
    case WSAEINVAL:
      return EINVAL;
    default:
      return code;
  }
}

// -1 with the last Winsock error in `*error`.
inline int Failure(int* error) {
  if (error) *error = ErrnoOf(WSAGetLastError());
  return -1;
}

}  // namespace platform::net::win32
