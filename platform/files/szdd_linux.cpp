#include "platform/files/szdd.h"

#include <mspack.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files/digest.h"
#include "platform/files/files.h"

namespace platform {
namespace {

// libmspack passes "file names" to its I/O callbacks untouched, so each
// name we hand it is really a pointer to one of these streams. That keeps
// every byte going through our own file layer or memory.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual int Read(void* buffer, int bytes) = 0;
  virtual int Write(const void* buffer, int bytes) = 0;
  virtual int Seek(off_t offset, int whence) = 0;
  virtual off_t Tell() = 0;
};

class FileInput final : public Stream {
 public:
  explicit FileInput(std::unique_ptr<File> file) : file_(std::move(file)) {}
  int Read(void* buffer, int bytes) override {
    return static_cast<int>(file_->Read(buffer, static_cast<size_t>(bytes)));
  }
  int Write(const void*, int) override { return -1; }
  int Seek(off_t offset, int whence) override { return file_->Seek(offset, whence) ? 0 : -1; }
  off_t Tell() override { return static_cast<off_t>(file_->Tell()); }

 private:
  std::unique_ptr<File> file_;
};

class MemoryInput final : public Stream {
 public:
  MemoryInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int Read(void* buffer, int bytes) override {
    if (bytes <= 0) return 0;
    size_t n = std::min(static_cast<size_t>(bytes), size_ - at_);
    if (n) std::memcpy(buffer, data_ + at_, n);
    at_ += n;
    return static_cast<int>(n);
  }
  int Write(const void*, int) override { return -1; }
  int Seek(off_t offset, int whence) override {
    off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off_t>(at_) : static_cast<off_t>(size_);
    off_t to = base + offset;
    if (to < 0 || to > static_cast<off_t>(size_)) return -1;
    at_ = static_cast<size_t>(to);
    return 0;
  }
  off_t Tell() override { return static_cast<off_t>(at_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The output side: never takes more than `limit` bytes (the decoder would
// otherwise run on for as long as the input lasts) and digests what it takes.
class Output : public Stream {
 public:
  explicit Output(uint32_t limit) : limit_(limit) {}
  int Read(void*, int) override { return -1; }
  int Write(const void* buffer, int bytes) override {
    if (bytes < 0) return -1;
    if (static_cast<uint64_t>(written_) + static_cast<uint64_t>(bytes) > limit_) {
      overrun_ = true;
      return -1;
    }
    if (!Put(buffer, static_cast<size_t>(bytes))) return -1;
    digest_ = DigestUpdate(digest_, buffer, static_cast<size_t>(bytes));
    written_ += static_cast<uint32_t>(bytes);
    return bytes;
  }
  int Seek(off_t, int) override { return -1; }
  off_t Tell() override { return written_; }

  bool overrun() const { return overrun_; }
  uint32_t written() const { return written_; }
  uint64_t digest() const { return digest_; }

 protected:
  virtual bool Put(const void* buffer, size_t bytes) = 0;

 private:
  uint32_t limit_;
  uint32_t written_ = 0;
  uint64_t digest_ = kDigestStart;
  bool overrun_ = false;
};

// The decoder hands over its output a byte at a time, so it is gathered
// here and written in large blocks.
class FileOutput final : public Output {
 public:
  FileOutput(std::unique_ptr<File> file, uint32_t limit) : Output(limit), file_(std::move(file)) {
    pending_.reserve(kBlock);
  }
  uint32_t error() const { return error_; }
  // Writes what is still gathered; false when the file refused it.
  bool Flush() {
    if (pending_.empty() || error_) return error_ == 0;
    if (file_->Write(pending_.data(), pending_.size()) != static_cast<int64_t>(pending_.size())) {
      error_ = file_->LastError() ? file_->LastError() : EIO;
    }
    pending_.clear();
    return error_ == 0;
  }

 protected:
  bool Put(const void* buffer, size_t bytes) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    pending_.insert(pending_.end(), p, p + bytes);
    return pending_.size() < kBlock || Flush();
  }

 private:
  static constexpr size_t kBlock = 64 * 1024;
  std::unique_ptr<File> file_;
  std::vector<uint8_t> pending_;
  uint32_t error_ = 0;
};

class VectorOutput final : public Output {
 public:
  VectorOutput(std::vector<uint8_t>* out, uint32_t limit) : Output(limit), out_(out) {}

 protected:
  bool Put(const void* buffer, size_t bytes) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    out_->insert(out_->end(), p, p + bytes);
    return true;
  }

 private:
  std::vector<uint8_t>* out_;
};

Stream* AsStream(mspack_file* file) { return reinterpret_cast<Stream*>(file); }

mspack_file* SysOpen(mspack_system*, const char* name, int) {
  return reinterpret_cast<mspack_file*>(const_cast<char*>(name));
}
void SysClose(mspack_file*) {}  // the streams belong to the caller
int SysRead(mspack_file* f, void* buffer, int bytes) { return AsStream(f)->Read(buffer, bytes); }
int SysWrite(mspack_file* f, void* buffer, int bytes) { return AsStream(f)->Write(buffer, bytes); }
int SysSeek(mspack_file* f, off_t offset, int mode) {
  int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
  return AsStream(f)->Seek(offset, whence);
}
off_t SysTell(mspack_file* f) { return AsStream(f)->Tell(); }
void SysMessage(mspack_file*, const char*, ...) {}
void* SysAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void SysFree(void* p) { std::free(p); }
void SysCopy(void* src, void* dst, size_t bytes) { std::memmove(dst, src, bytes); }

mspack_system g_system = {SysOpen,    SysClose, SysRead, SysWrite, SysSeek, SysTell,
                          SysMessage, SysAlloc, SysFree, SysCopy,  nullptr};

// The library must be built with our idea of off_t; checked once.
msszdd_decompressor* CreateDecoder() {
  static const bool sane = [] {
    int result = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(result);
    return result == MSPACK_ERR_OK;
  }();
  return sane ? mspack_create_szdd_decompressor(&g_system) : nullptr;
}

const char* AsName(Stream* s) { return reinterpret_cast<const char*>(s); }

// Maps a decoder result and the output's account to our result.
long CopyResult(int err, const Output& out, uint32_t expected, bool writeFailed) {
  if (err == MSPACK_ERR_NOMEMORY) return kSzddNoMemory;
  if (err == MSPACK_ERR_WRITE && !out.overrun() && writeFailed) return kSzddWriteFailed;
  if (err != MSPACK_ERR_OK) return kSzddBadData;
  // The decoder stops quietly at the end of its input, so a short stream
  // reads as success: the length promised by the header is the only check.
  if (out.written() != expected) return kSzddBadData;
  return static_cast<long>(expected);
}

}  // namespace

struct SzddExpander::State {
  msszdd_decompressor* decoder = nullptr;
  std::unique_ptr<FileInput> source;
  msszddd_header* header = nullptr;
  std::unique_ptr<FileOutput> destination;
};

SzddExpander::SzddExpander() : state_(std::make_unique<State>()) {}

SzddExpander::~SzddExpander() { Close(); }

void SzddExpander::Close() {
  if (state_->header) state_->decoder->close(state_->decoder, state_->header);
  state_->header = nullptr;
  if (state_->decoder) mspack_destroy_szdd_decompressor(state_->decoder);
  state_->decoder = nullptr;
  state_->source.reset();
  state_->destination.reset();
}

long SzddExpander::OpenSource(const std::string& path) {
  std::unique_ptr<File> file = BeginSource(path);
  if (!file) return kSzddBadSource;
  state_->source = std::make_unique<FileInput>(std::move(file));
  state_->decoder = CreateDecoder();
  if (!state_->decoder) {
    Close();
    return kSzddNoMemory;
  }
  state_->header = state_->decoder->open(state_->decoder, AsName(state_->source.get()));
  if (!state_->header || state_->header->length < 0 || state_->header->length > static_cast<off_t>(kSzddMaxLength)) {
    Close();
    return kSzddBadSource;
  }
  expected_ = static_cast<uint32_t>(state_->header->length);
  return 0;
}

long SzddExpander::OpenDestination(const std::string& path) {
  state_->destination.reset();
  std::unique_ptr<File> file = Use<Files>().Create(path);
  if (!file) {
    systemError_ = Use<Files>().LastError();
    return kSzddBadDestination;
  }
  state_->destination = std::make_unique<FileOutput>(std::move(file), expected_);
  return 0;
}

long SzddExpander::Copy() {
  if (!state_->header || !state_->destination) return kSzddNotOpen;
  FileOutput& out = *state_->destination;
  int err = state_->decoder->extract(state_->decoder, state_->header, AsName(&out));
  if (err == MSPACK_ERR_OK && !out.Flush()) err = MSPACK_ERR_WRITE;
  digest_ = out.digest();
  if (out.error()) systemError_ = out.error();
  return CopyResult(err, out, expected_, out.error() != 0);
}

long ExpandSzdd(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  out->clear();
  MemoryInput in(data, size);
  msszdd_decompressor* decoder = CreateDecoder();
  if (!decoder) return kSzddNoMemory;
  long result = kSzddBadSource;
  msszddd_header* header = decoder->open(decoder, AsName(&in));
  if (header && header->length >= 0 && header->length <= static_cast<off_t>(kSzddMaxLength)) {
    auto expected = static_cast<uint32_t>(header->length);
    // Reserve no more than honest data can ask for: a header may lie.
    out->reserve(std::min<size_t>(expected, std::max<size_t>(size, 1) * 16));
    VectorOutput sink(out, expected);
    int err = decoder->extract(decoder, header, AsName(&sink));
    result = CopyResult(err, sink, expected, false);
  }
  if (header) decoder->close(decoder, header);
  mspack_destroy_szdd_decompressor(decoder);
  if (result < 0) out->clear();
  return result;
}

}  // namespace platform
