#pragma once
// Helpers of the link tests: a private working folder that catches the
// diagnostic log, and a scripted peer that answers the MIDI port probe.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/unit/byte_peer.h"

namespace link_test {

// Runs the test in a fresh folder so OrvellaReflash.log is its own.
class LogFolder {
 public:
  LogFolder();
  ~LogFolder();
  // The log records so far, each without its time stamp.
  std::vector<std::string> Lines() const;
  // How many records equal `line` exactly.
  int Count(const std::string& line) const;
  // True when some record contains `text`.
  bool Contains(const std::string& text) const;

 private:
  std::string dir_;
  std::string saved_;
};

// Cuts the host's bytes into frames and answers each one. By default a
// probe (a one-register read of register 64 + n) gets the proper 10-byte
// register-data answer and everything else no answer.
class ProbePeer : public sim::BytePeer {
 public:
  using Reply = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& frame)>;

  void FromHost(const uint8_t* data, size_t n, bool toCard) override;
  size_t ToHost(uint8_t* out, size_t max) override;

  // Queues bytes as if the device had sent them.
  void Push(const std::vector<uint8_t>& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  static std::vector<uint8_t> ProperAnswer(const std::vector<uint8_t>& frame);

  Reply reply = ProperAnswer;
  std::vector<std::vector<uint8_t>> frames;  // every frame received

 private:
  std::vector<uint8_t> partial_;
  std::vector<uint8_t> out_;
};

// One SysEx message of `total` bytes (F0, data, F7).
std::vector<uint8_t> SysEx(size_t total, uint8_t fill = 0x11);

}  // namespace link_test
