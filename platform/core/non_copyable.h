#pragma once

namespace platform {

// A base for an object that is the one owner of what it holds (a handle, a
// folder, a process-wide setting it restores when it goes): copying it
// would release or restore that twice, so it has no copies.
class NonCopyable {
 public:
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;

 protected:
  NonCopyable() = default;
  ~NonCopyable() = default;
};

}  // namespace platform
