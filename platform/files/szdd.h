#pragma once
// Expansion of the COMPRESS ("SZDD") format, step by step in the
// manner of the LZ expansion calls: open the source, open the destination,
// copy. Unlike the bare decoder it sits on, it refuses output whose length
// differs from the length the header promises (truncated, damaged or
// over-long data), so a success means exactly that many bytes were written.
//
// Errors, in the shape of the expansion calls: a call that fails returns
// one of the negative codes below (the number the messages show), and
// LastError() gives the system's code behind a file failure, as the Files
// service reports it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/non_copyable.h"

namespace platform {

class File;

// Failures, as negative results.
enum : long {
  kSzddBadSource = -1,       // the source cannot be read or is not SZDD
  kSzddBadDestination = -2,  // the destination cannot be created
  kSzddBadData = -3,         // the data do not expand to the promised length
  kSzddWriteFailed = -4,     // the destination refused bytes
  kSzddNoMemory = -5,
  kSzddNotOpen = -6,  // Copy without both files open
};

// The largest expanded length accepted. The built-in images are a few
// megabytes; a header promising more is treated as damage.
constexpr uint32_t kSzddMaxLength = 64u << 20;

class SzddExpander : NonCopyable {
 public:
  SzddExpander();
  ~SzddExpander();

  // Opens `path` (through the Files service) and reads its SZDD header.
  // Returns 0, or kSzddBadSource when the file cannot be read, is not SZDD
  // or promises more than kSzddMaxLength bytes.
  long OpenSource(const std::string& path);
  // Creates `path` anew for the expanded bytes. 0 or kSzddBadDestination.
  long OpenDestination(const std::string& path);
  // Expands the source into the destination. Returns the expanded length
  // (always the header's length), or kSzddBadData, kSzddWriteFailed,
  // kSzddNoMemory or kSzddNotOpen.
  long Copy();
  // Closes both files (the destructor does too).
  void Close();

  // The length promised by the source's header (after OpenSource).
  uint32_t ExpectedLength() const { return expected_; }
  // Digest() of the bytes written by the last Copy.
  uint64_t WrittenDigest() const { return digest_; }
  // The system's code behind the last file failure, 0 if none.
  uint32_t LastError() const { return systemError_; }

 private:
  // The start of OpenSource on every system: closes what is open, forgets
  // the last figures and opens `path`; null (the error noted) on failure.
  std::unique_ptr<File> BeginSource(const std::string& path);

  struct State;
  std::unique_ptr<State> state_;
  uint32_t expected_ = 0;
  uint64_t digest_ = 0;
  uint32_t systemError_ = 0;
};

// Expands SZDD data held in memory into `out`. Returns the expanded length
// or a negative failure as above (kSzddBadSource for a bad header).
long ExpandSzdd(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

}  // namespace platform
