#pragma once
// The real file layer with a few ways to misbehave, for tests of what reads
// and writes files: the temporary folder moved, created files that take
// only so many bytes, opened files that yield only so many before an error.
#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files/files.h"

namespace test_support {

class FaultyFiles : public platform::SystemFiles {
 public:
  std::string temp;         // the temporary folder; the system's when empty
  int64_t writeLimit = -1;  // bytes a created file takes before refusing
  int64_t readLimit = -1;   // bytes an opened file yields before an error

  std::string TempFolder() override { return temp.empty() ? SystemFiles::TempFolder() : temp; }
  std::unique_ptr<platform::File> OpenRead(const std::string& path) override {
    auto file = SystemFiles::OpenRead(path);
    return file && readLimit >= 0 ? std::make_unique<Limited>(std::move(file), readLimit, -1) : std::move(file);
  }
  std::unique_ptr<platform::File> Create(const std::string& path) override {
    auto file = SystemFiles::Create(path);
    return file && writeLimit >= 0 ? std::make_unique<Limited>(std::move(file), -1, writeLimit) : std::move(file);
  }

 private:
  // Writes past the budget are cut short (the device is full); a read
  // once the budget is spent fails.
  class Limited : public platform::File {
   public:
    Limited(std::unique_ptr<platform::File> inner, int64_t reads, int64_t writes)
        : inner_(std::move(inner)), reads_(reads), writes_(writes) {}
    int64_t Read(void* buffer, size_t size) override {
      if (reads_ >= 0 && static_cast<int64_t>(size) > reads_) {
        if (reads_ == 0) return -1;
        size = static_cast<size_t>(reads_);
      }
      int64_t n = inner_->Read(buffer, size);
      if (reads_ >= 0 && n > 0) reads_ -= n;
      return n;
    }
    int64_t Write(const void* buffer, size_t size) override {
      size_t take = writes_ >= 0 && static_cast<int64_t>(size) > writes_ ? static_cast<size_t>(writes_) : size;
      int64_t n = inner_->Write(buffer, take);
      if (writes_ >= 0) writes_ -= n;
      return n;
    }
    bool Seek(int64_t offset, int whence) override { return inner_->Seek(offset, whence); }
    int64_t Tell() override { return inner_->Tell(); }
    int64_t Size() override { return inner_->Size(); }
    int64_t LastWriteTime() override { return inner_->LastWriteTime(); }
    uint32_t LastError() override { return writes_ == 0 ? ENOSPC : EIO; }

   private:
    std::unique_ptr<platform::File> inner_;
    int64_t reads_, writes_;
  };
};

}  // namespace test_support
