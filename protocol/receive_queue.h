#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

// The engine's receive ring buffer: bytes as the transport delivered them,
// waiting to be cut into frames. Allocated once; nothing on the receive path
// allocates. Every operation takes the queue's own lock (re-entrant, so a
// nested caller on the same thread never blocks).
class ReceiveQueue {
 public:
  static constexpr size_t kSize = 8192;

  ReceiveQueue();

  // Stores all n bytes or none: refuses (false) unless n is smaller than the
  // free space, so at most kSize - 1 bytes are ever held.
  bool Put(size_t n, const uint8_t* bytes);
  // Removes n bytes from the read side, copying them to `out` when it is not
  // null; false (nothing removed) when fewer than n are held.
  bool Take(size_t n, uint8_t* out);
  // Distance from the read side of the first held `byte`, or -1.
  long Find(uint8_t byte) const;
  // Forgets everything held.
  void Clear();
  size_t Used() const;

 private:
  mutable std::recursive_mutex lock_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t used_ = 0;
  size_t write_ = 0;
  size_t read_ = 0;
};
