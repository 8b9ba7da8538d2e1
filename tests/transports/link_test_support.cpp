#include "tests/transports/link_test_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/core/log.h"
#include "protocol/codec.h"

namespace link_test {

LogFolder::LogFolder() {
  char cwd[4096];
  saved_ = getcwd(cwd, sizeof cwd) ? cwd : ".";
  char pattern[] = "/tmp/reflash-links-XXXXXX";
  dir_ = mkdtemp(pattern) ? pattern : "";
  CloseLog();
  if (!dir_.empty() && chdir(dir_.c_str()) != 0) dir_.clear();
}

LogFolder::~LogFolder() {
  CloseLog();
  if (chdir(saved_.c_str()) != 0) return;
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::vector<std::string> LogFolder::Lines() const {
  std::vector<std::string> lines;
  std::ifstream in(dir_ + "/OrvellaReflash.log");
  std::string line;
  // "YYYY-MM-DD HH:MM:SS " leads every record.
  while (std::getline(in, line)) lines.push_back(line.size() >= 20 ? line.substr(20) + "\n" : line);
  return lines;
}

int LogFolder::Count(const std::string& line) const {
  auto lines = Lines();
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

bool LogFolder::Contains(const std::string& text) const {
  for (const std::string& l : Lines())
    if (l.find(text) != std::string::npos) return true;
  return false;
}

void ProbePeer::FromHost(const uint8_t* data, size_t n, bool) {
  for (size_t i = 0; i < n; ++i) {
    if (data[i] == 0xF0) partial_.clear();
    partial_.push_back(data[i]);
    if (data[i] == 0xF7 && partial_.front() == 0xF0) {
      frames.push_back(partial_);
      Push(reply(partial_));
      partial_.clear();
    }
  }
}

size_t ProbePeer::ToHost(uint8_t* out, size_t max) {
  size_t n = std::min(max, out_.size());
  std::copy(out_.begin(), out_.begin() + static_cast<long>(n), out);
  out_.erase(out_.begin(), out_.begin() + static_cast<long>(n));
  return n;
}

std::vector<uint8_t> ProbePeer::ProperAnswer(const std::vector<uint8_t>& f) {
  if (f.size() != 8 || (f[4] & 0x78) != 0x68) return {};
  uint16_t reg = static_cast<uint16_t>(((f[4] & 7) << 5) | ((f[5] >> 2) & 0x1F));
  uint8_t value = 0;
  std::vector<uint8_t> out(codec::RegisterDataLength(reg, 1));
  out.resize(codec::BuildRegisterData(out.data(), reg, &value, 1));
  return out;
}

std::vector<uint8_t> SysEx(size_t total, uint8_t fill) {
  std::vector<uint8_t> m(total, fill);
  m.front() = 0xF0;
  m.back() = 0xF7;
  return m;
}

}  // namespace link_test
