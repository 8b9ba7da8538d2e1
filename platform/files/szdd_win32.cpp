// SZDD expansion where libmspack is not available. The system's own LZ
// calls (lz32) read and write only through file handles of their own, which
// would take the bytes past the Files service (and the tests that stand in
// for it); the format is small enough to expand here instead.
#include <algorithm>
#include <cstring>

#include "platform/files/digest.h"
#include "platform/files/files.h"
#include "platform/files/szdd.h"

namespace platform {
namespace {

constexpr uint8_t kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr size_t kHeaderSize = 14;  // magic, mode 'A', the missing last name character, length
constexpr size_t kWindow = 4096;
constexpr uint32_t kWriteFault = 29;  // ERROR_WRITE_FAULT, for a file that gave no reason

// The length the header promises, or false for data that are not SZDD or
// promise more than kSzddMaxLength.
bool ReadHeader(const uint8_t* data, size_t size, uint32_t* length) {
  if (size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0 || data[8] != 'A') return false;
  *length = static_cast<uint32_t>(data[10]) | static_cast<uint32_t>(data[11]) << 8 |
            static_cast<uint32_t>(data[12]) << 16 | static_cast<uint32_t>(data[13]) << 24;
  return *length <= kSzddMaxLength;
}

// Expands the body after the header into `out`: LZSS over a 4 KiB window
// that starts filled with spaces, eight items per flag byte (a set bit is a
// literal, a clear one a 12-bit position and a 4-bit length less three).
// Returns kSzddBadData unless exactly `expected` bytes come out.
long Expand(const uint8_t* in, size_t size, uint32_t expected, std::vector<uint8_t>* out) {
  std::vector<uint8_t> window(kWindow, ' ');
  size_t at = kWindow - 16;
  size_t pos = 0;
  auto put = [&](uint8_t byte) {
    if (out->size() >= expected) return false;  // more than promised
    out->push_back(byte);
    window[at] = byte;
    at = (at + 1) & (kWindow - 1);
    return true;
  };
  while (pos < size) {
    const uint8_t flags = in[pos++];
    for (int bit = 0; bit < 8 && pos < size; ++bit) {
      if (flags & (1u << bit)) {
        if (!put(in[pos++])) return kSzddBadData;
      } else {
        if (pos + 1 >= size) return kSzddBadData;  // a reference cut in half
        size_t from = in[pos] | (static_cast<size_t>(in[pos + 1] & 0xF0) << 4);
        const int length = (in[pos + 1] & 0x0F) + 3;
        pos += 2;
        for (int i = 0; i < length; ++i) {
          if (!put(window[from])) return kSzddBadData;
          from = (from + 1) & (kWindow - 1);
        }
      }
    }
  }
  return out->size() == expected ? static_cast<long>(expected) : kSzddBadData;
}

// The compressed bytes of an honest file are never more than 9/8 of the
// expanded ones (one flag byte per eight literals) and the header.
size_t LargestSource(uint32_t expected) { return kHeaderSize + expected + expected / 8 + 1; }

}  // namespace

struct SzddExpander::State {
  std::vector<uint8_t> source;  // the whole file, header included
  std::unique_ptr<File> destination;
};

SzddExpander::SzddExpander() : state_(std::make_unique<State>()) {}

SzddExpander::~SzddExpander() { Close(); }

void SzddExpander::Close() {
  state_->source.clear();
  state_->destination.reset();
}

long SzddExpander::OpenSource(const std::string& path) {
  std::unique_ptr<File> file = BeginSource(path);
  if (!file) return kSzddBadSource;
  uint8_t header[kHeaderSize];
  uint32_t expected = 0;
  if (file->Read(header, sizeof header) != static_cast<int64_t>(sizeof header) ||
      !ReadHeader(header, sizeof header, &expected)) {
    if (file->LastError()) systemError_ = file->LastError();
    return kSzddBadSource;
  }
  // Read one byte more than an honest file can hold, so over-long data
  // are seen without reading a huge file whole.
  std::vector<uint8_t>& source = state_->source;
  source.assign(header, header + sizeof header);
  source.resize(LargestSource(expected) + 1);
  const int64_t body = file->Read(source.data() + kHeaderSize, source.size() - kHeaderSize);
  if (body < 0) {
    systemError_ = file->LastError();
    Close();
    return kSzddBadSource;
  }
  source.resize(kHeaderSize + static_cast<size_t>(body));
  expected_ = expected;
  return 0;
}

long SzddExpander::OpenDestination(const std::string& path) {
  state_->destination.reset();
  state_->destination = Use<Files>().Create(path);
  if (state_->destination) return 0;
  systemError_ = Use<Files>().LastError();
  return kSzddBadDestination;
}

long SzddExpander::Copy() {
  if (state_->source.empty() || !state_->destination) return kSzddNotOpen;
  const std::vector<uint8_t>& source = state_->source;
  std::vector<uint8_t> expanded;
  expanded.reserve(expected_);
  long result = kSzddBadData;
  if (source.size() <= LargestSource(expected_)) {
    result = Expand(source.data() + kHeaderSize, source.size() - kHeaderSize, expected_, &expanded);
  }
  // What was expanded is written even when it is short, as the decoder on
  // Linux writes as it goes; the result says it is not the whole file.
  File& out = *state_->destination;
  const int64_t written = out.Write(expanded.data(), expanded.size());
  digest_ = Digest(expanded.data(), static_cast<size_t>(std::max<int64_t>(written, 0)));
  if (written != static_cast<int64_t>(expanded.size())) {
    systemError_ = out.LastError() ? out.LastError() : kWriteFault;
    return kSzddWriteFailed;
  }
  return result;
}

long ExpandSzdd(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  out->clear();
  uint32_t expected = 0;
  if (!ReadHeader(data, size, &expected)) return kSzddBadSource;
  long result = kSzddBadData;
  if (size <= LargestSource(expected)) {
    out->reserve(expected);
    result = Expand(data + kHeaderSize, size - kHeaderSize, expected, out);
  }
  if (result < 0) out->clear();
  return result;
}

}  // namespace platform
