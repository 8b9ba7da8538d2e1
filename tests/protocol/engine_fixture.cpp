#include "tests/protocol/engine_fixture.h"

#include <algorithm>
#include <sstream>

#include "tests/support/frame_oracle.h"

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
  const frame_oracle::Fields h = frame_oracle::Read(f);
  return Request{h.code, h.first, h.second};
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
    if (f.size() >= 8 && Decode(f).code == codec::kRead) reads.push_back(Decode(f));
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
