#include "tests/protocol/engine_fixture.h"

#include <algorithm>
#include <sstream>

namespace engine_test {

Bytes Frame(std::initializer_list<uint8_t> body) {
  Bytes b;
  for (uint8_t v : {0xF0, 0x00, 0x01, 0x54}) b.push_back(v);
  for (uint8_t v : body) b.push_back(v);
  b.push_back(0xF7);
  return b;
}

Bytes RegisterData(uint16_t start, const Bytes& data) {
  Bytes out(codec::RegisterDataLength(start, static_cast<uint16_t>(data.size())));
  codec::BuildRegisterData(out.data(), start, data.data(), static_cast<uint16_t>(data.size()));
  return out;
}

Request Decode(const Bytes& f) {
  Request r{static_cast<uint8_t>((f[4] >> 3) & 0x0F), 0, 0};
  if ((f[4] & 7) == 7 && f.size() >= 10) {
    r.first = static_cast<uint16_t>((f[5] << 9) | (f[6] << 2) | ((f[7] >> 5) & 3));
    if (r.code == codec::kRead)
      r.span = static_cast<uint16_t>(((f[7] & 0x1F) << 11) | (f[8] << 4) | ((f[9] >> 3) & 0x0F));
    else
      r.span = static_cast<uint16_t>(((f[7] & 0x1F) << 3) | (f[8] >> 4));
  } else {
    r.first = static_cast<uint16_t>(((f[4] & 7) << 5) | ((f[5] >> 2) & 0x1F) | ((f[6] & 1) << 8));
    r.span = static_cast<uint16_t>(((f[5] & 3) << 6) | ((f[6] >> 1) & 0x3F));
  }
  return r;
}

void ScriptedUnit::FromHost(const uint8_t* data, size_t n, bool) {
  Bytes frame(data, data + n);
  received.push_back(frame);
  if (n < 8 || frame[0] != 0xF0) return;
  const Request r = Decode(frame);
  if (r.code == codec::kWrite && !ignoreWrites && r.first < 2048) {
    regs[r.first] = static_cast<uint8_t>(r.span);
  } else if (r.code == codec::kRead && !silent) {
    const uint16_t start = static_cast<uint16_t>(std::min(r.first + answerOffset, 2047));
    const uint16_t count = static_cast<uint16_t>(std::min<int>(r.span + 1, 2048 - start));
    Inject(RegisterData(start, Bytes(regs + start, regs + start + count)));
  }
}

size_t ScriptedUnit::ToHost(uint8_t* out, size_t max) {
  ++toHostCalls;
  if (silent) {
    out_.clear();
    return 0;
  }
  size_t n = 0;
  while (n < max && !out_.empty()) {
    out[n++] = out_.front();
    out_.pop_front();
  }
  return n;
}

std::vector<Request> ScriptedUnit::Reads() const {
  std::vector<Request> reads;
  for (const auto& f : received)
    if (f.size() >= 8 && ((f[4] >> 3) & 0x0F) == codec::kRead) reads.push_back(Decode(f));
  return reads;
}

void MakeOrvellaN(ScriptedUnit& unit) {
  unit.regs[1] = 96;
  unit.regs[10] = 1 | (2 << 6);  // firmware 1.2
  unit.regs[11] = 0x20;          // PCB 2
}

EngineTest::EngineTest() {
  std::ifstream log("OrvellaReflash.log", std::ios::binary | std::ios::ate);
  if (log) logStart_ = log.tellg();
  factory.Serve(kTransportMidi, &wiring);
  MakeOrvellaN(unit);
  MakeOrvellaN(unit2);
}

void EngineTest::Connect(int units) {
  wiring.Add(&unit, "Sim Port 1");
  if (units > 1) wiring.Add(&unit2, "Sim Port 2");
  ASSERT_EQ(remote->Open(), 0);
  ASSERT_EQ(remote->SelectConnection(0), 0);
  wiring.ClearWritten();
  unit.received.clear();
  unit2.received.clear();
}

std::string EngineTest::NewLog() {
  std::ifstream log("OrvellaReflash.log", std::ios::binary);
  if (!log) return {};
  log.seekg(logStart_);
  std::stringstream s;
  s << log.rdbuf();
  return s.str();
}

void EngineTest::PollFor(int passes, uint32_t stepMs) {
  for (int i = 0; i < passes; ++i) {
    clock.Advance(stepMs);
    remote->Poll();
  }
}

SoloLink::SoloLink(sim::BytePeer& peer) {
  wiring.Add(&peer, "Sim Port 1");
  factory.Serve(kTransportMidi, &wiring);
}

void EngineTest::Attach(sim::BytePeer& peer) {
  wiring.Add(&peer, "Sim Port 1");
  ASSERT_EQ(remote->Open(), 0);
  ASSERT_EQ(remote->SelectConnection(0), 0);
  wiring.ClearWritten();
}

}  // namespace engine_test
