#include "protocol/receive_queue.h"

#include <cstring>

ReceiveQueue::ReceiveQueue() : buffer_(new uint8_t[kSize]) {}

bool ReceiveQueue::Put(size_t n, const uint8_t* bytes) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (n >= kSize - used_) return false;
  const size_t first = n < kSize - write_ ? n : kSize - write_;
  std::memcpy(&buffer_[write_], bytes, first);
  std::memcpy(&buffer_[0], bytes + first, n - first);
  write_ = (write_ + n) % kSize;
  used_ += n;
  return true;
}

bool ReceiveQueue::Take(size_t n, uint8_t* out) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (n > used_) return false;
  if (out) {
    const size_t first = n < kSize - read_ ? n : kSize - read_;
    std::memcpy(out, &buffer_[read_], first);
    std::memcpy(out + first, &buffer_[0], n - first);
  }
  read_ = (read_ + n) % kSize;
  used_ -= n;
  return true;
}

long ReceiveQueue::Find(uint8_t byte) const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (size_t i = 0; i < used_; ++i)
    if (buffer_[(read_ + i) % kSize] == byte) return static_cast<long>(i);
  return -1;
}

void ReceiveQueue::Clear() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  used_ = write_ = read_ = 0;
}

size_t ReceiveQueue::Used() const {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return used_;
}
