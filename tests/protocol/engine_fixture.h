#pragma once
// Shared set-up of the engine tests: a virtual clock, the scripted UI host
// (message boxes, pump), an in-process link and a small scripted unit.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/service.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/transport_factory.h"
#include "sim/links/inprocess_link.h"
#include "tests/support/scripted_host.h"

namespace engine_test {

using Bytes = std::vector<uint8_t>;

Bytes Frame(std::initializer_list<uint8_t> body);
Bytes RegisterData(uint16_t start, const Bytes& data);

// A request as the scripted unit decoded it.
struct Request {
  uint8_t code;
  uint16_t first;
  uint16_t span;  // reads: span; writes: the value
};
Request Decode(const Bytes& frame);

// Answers read requests from its own register file and applies writes;
// anything else it only records. Tests queue raw bytes with Inject.
class ScriptedUnit : public sim::BytePeer {
 public:
  uint8_t regs[2048] = {};
  bool silent = false;       // answers nothing, also no injected bytes
  int answerOffset = 0;      // reads are answered naming start + offset
  bool ignoreWrites = false;
  std::vector<Bytes> received;
  int toHostCalls = 0;

  void FromHost(const uint8_t* data, size_t n, bool toCard) override;
  size_t ToHost(uint8_t* out, size_t max) override;
  void Inject(const Bytes& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  // Reads the unit received (code 13), as first..first+span.
  std::vector<Request> Reads() const;

 private:
  std::deque<uint8_t> out_;
};

// Orvella(n) identity: product 96, firmware 1.2.
void MakeOrvellaN(ScriptedUnit& unit);

// One peer on a MIDI link of its own with an engine of its own over it, for
// tests that need a unit configured unlike the fixture's.
struct SoloLink {
  explicit SoloLink(sim::BytePeer& peer);
  sim::LinkWiring wiring;
  sim::InProcessTransports factory;
  platform::Override<TransportFactory> use{factory};
  COrvellaRemote remote;
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest();
  // Opens the engine over the MIDI kind with `units` connections and
  // selects connection 0; clears what the selection wrote.
  void Connect(int units = 1);
  // Opens the engine on `peer` alone and selects it; clears what that wrote.
  void Attach(sim::BytePeer& peer);
  // Everything appended to the log since the fixture started.
  std::string NewLog();
  std::vector<Bytes> Written() const { return wiring.Frames(); }
  // Polls `passes` times, moving the clock `stepMs` before each.
  void PollFor(int passes, uint32_t stepMs);

  platform::VirtualClock clock{1000, 0, 1};
  platform::Override<platform::Clock> useClock{clock};
  test_support::ScriptedHost host;
  sim::LinkWiring wiring;
  sim::InProcessTransports factory;
  platform::Override<TransportFactory> useFactory{factory};
  ScriptedUnit unit;
  ScriptedUnit unit2;
  std::unique_ptr<COrvellaRemote> remote = std::make_unique<COrvellaRemote>();

 private:
  std::streamoff logStart_ = 0;
};

}  // namespace engine_test
