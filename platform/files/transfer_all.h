#pragma once
// The loop of a whole read or write over the system's calls, the same on
// every system; each backend supplies one call.
#include <cstddef>
#include <cstdint>

namespace platform {

// Calls `step(at)` (one system read or write from offset `at`, returning
// the bytes it moved, or -1 after a failure it has recorded) until `size`
// bytes have moved. Stops early when a call moves nothing (end of file, a
// full device) and at a failure, reported through `failed`. Returns the
// bytes moved.
template <class Step>
size_t TransferAll(Step step, size_t size, bool* failed) {
  size_t done = 0;
  while (done < size) {
    const int64_t n = step(done);
    if (n < 0) {
      *failed = true;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace platform
