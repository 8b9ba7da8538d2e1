#pragma once
// The failure result every socket call of this folder gives: -1, with the
// OS error (errno) in `*error` when the caller asked for it.
#include <cerrno>

namespace platform::net {

inline int SocketFailure(int* error) {
  if (error) *error = errno;
  return -1;
}

}  // namespace platform::net
