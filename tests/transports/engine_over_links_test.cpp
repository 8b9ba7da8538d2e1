// The engine over the real transports and the simulated links: what the
// application sees when it opens with its default interface mask.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "protocol/orvella_remote.h"
#include "sim/links/sim_host_driver.h"
#include "sim/links/sim_midi_service.h"
#include "sim/unit/unit_model.h"
#include "tests/transports/link_test_support.h"
#include "transports/builtin_transports.h"
#include "transports/wire_trace.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Passes bytes through to a unit and keeps a copy of both directions.
class Recorder : public sim::BytePeer {
 public:
  explicit Recorder(sim::BytePeer& inner) : inner_(inner) {}
  void FromHost(const uint8_t* data, size_t n, bool toCard) override {
    fromHost.insert(fromHost.end(), data, data + n);
    inner_.FromHost(data, n, toCard);
  }
  size_t ToHost(uint8_t* out, size_t max) override {
    size_t n = inner_.ToHost(out, max);
    toHost.insert(toHost.end(), out, out + n);
    return n;
  }
  Bytes fromHost, toHost;

 private:
  sim::BytePeer& inner_;
};

enum class Link { kMidi, kDriver };

class EngineOverLinksTest : public ::testing::TestWithParam<Link> {
 protected:
  EngineOverLinksTest() : clockGuard_(clock_), midiGuard_(midi_), driverGuard_(driver_) {
    midi_.AddStandardExtras();
    midi_.AddUnitPorts("Sim MIDI 1", &unit_);
    if (GetParam() == Link::kDriver) {
      sim::SimAdapter adapter;
      adapter.unit = &unit_;
      driver_.SetAdapter(0, adapter);
    }
  }

  std::string Description(uint16_t index) {
    char text[260] = {};
    uint8_t product = 0;
    EXPECT_EQ(remote_.GetConnectionDescription(index, text, sizeof text, &product), 0);
    EXPECT_EQ(product, 96);
    return text;
  }

  int WaitForStatus(uint8_t want) {
    const uint32_t start = clock_.Peek();
    uint8_t status = 0;
    while (clock_.Peek() - start < 1000) {
      remote_.GetProgrammingStatus(&status);
      if ((status & 0x3F) == want) return 0;
      if (status & (PGMERR | TXERR)) return 2;
      platform::Sleep(1);
    }
    return 1;
  }

  link_test::LogFolder log_;
  platform::VirtualClock clock_{1000, 0, 1};
  platform::Override<platform::Clock> clockGuard_;
  sim::SimMidiService midi_{{true, 1}};
  platform::Override<platform::MidiService> midiGuard_;
  sim::SimHostDriver driver_;
  platform::Override<platform::DeviceControl> driverGuard_;
  BuiltInTransports transports_;
  platform::Override<TransportFactory> transportGuard_{transports_};
  sim::UnitModel unit_;
  COrvellaRemote remote_;
};

TEST_P(EngineOverLinksTest, DefaultMaskFindsTheUnitOnTheLink) {
  ASSERT_EQ(remote_.Open(), 0);
  uint16_t type = 0, count = 0;
  remote_.GetInterfaceType(&type);
  remote_.GetNumberOfConnections(&count);
  EXPECT_EQ(count, 1);
  if (GetParam() == Link::kMidi) {
    EXPECT_EQ(type, kTransportMidi);
    EXPECT_EQ(Description(0), "Orvella(n) connected via Sim MIDI 1");
  } else {
    EXPECT_EQ(type, kTransportDriver);
    EXPECT_EQ(Description(0), "Orvella(n) connected via Thunderbolt");
  }
}

TEST_P(EngineOverLinksTest, MainUnitImageReachesThePromOverTheLink) {
  ASSERT_EQ(remote_.Open(), 0);
  ASSERT_EQ(remote_.SelectConnection(0), 0);
  Bytes image(16 * 1024);
  uint32_t x = 99;
  for (auto& b : image) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);

  remote_.SetPollMode(kPollTransfer);
  ASSERT_EQ(remote_.SelectZSlotFirmware(false), 0);
  remote_.SetFirmwareSize(static_cast<uint32_t>(image.size()));
  remote_.SelectBank(0);
  ASSERT_EQ(remote_.WaitForResponse(1), 0);
  for (size_t off = 0; off < image.size(); off += 128) {
    ASSERT_EQ(remote_.WriteFirmwarePacket(image.data() + off, 128), 0);
    ASSERT_EQ(WaitForStatus(0), 0) << "packet " << off / 128;
  }
  remote_.SetPollMode(kPollProgress);
  uint8_t state = 0, progress = 0, aux = 0;
  const uint32_t start = clock_.Peek();
  while (state != 6 && clock_.Peek() - start < 30000) {
    remote_.GetProgrammingProgress(&state, &progress, &aux);
    platform::Sleep(16);
  }
  EXPECT_EQ(state, 6);
  EXPECT_EQ(unit_.Prom(0), image);
}

INSTANTIATE_TEST_SUITE_P(Links, EngineOverLinksTest, ::testing::Values(Link::kMidi, Link::kDriver),
                         [](const auto& info) { return info.param == Link::kMidi ? "Midi" : "Driver"; });

// Every byte of a trace line, per direction, in order.
struct TraceLog {
  Bytes out, in;
  int outLines = 0;
  bool framesWhole = true;  // each out line is one complete frame
};

TraceLog ReadTrace(const std::string& path) {
  TraceLog t;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    unsigned long ms;
    std::string direction;
    unsigned connection;
    words >> ms >> direction >> connection;
    Bytes bytes;
    std::string hex;
    while (words >> hex) bytes.push_back(static_cast<uint8_t>(std::stoul(hex, nullptr, 16)));
    Bytes& into = direction == "out" ? t.out : t.in;
    if (direction == "out") {
      ++t.outLines;
      t.framesWhole = t.framesWhole && bytes.size() >= 2 && bytes.front() == 0xF0 && bytes.back() == 0xF7;
    }
    EXPECT_EQ(connection, 0u) << line;
    into.insert(into.end(), bytes.begin(), bytes.end());
  }
  return t;
}

TEST(WireTraceTest, IdentityReadOverMidiShowsExactlyWhatCrossedTheLink) {
  link_test::LogFolder folder;  // the trace file goes there too
  platform::VirtualClock clock{1000, 0, 1};
  platform::Override<platform::Clock> clockGuard(clock);
  sim::SimMidiService midi;
  platform::Override<platform::MidiService> midiGuard(midi);
  BuiltInTransports transports;
  platform::Override<TransportFactory> transportGuard(transports);
  sim::UnitModel unit;
  Recorder recorder(unit);
  midi.AddUnitPorts("Sim MIDI 1", &recorder);

  ASSERT_FALSE(WireTraceEnabled());
  ASSERT_TRUE(EnableWireTrace("wire.trace"));
  {
    COrvellaRemote remote;
    ASSERT_EQ(remote.Open(), 0);
    // The probe belongs to Open, not to a Write: only what follows is traced.
    recorder.fromHost.clear();
    recorder.toHost.clear();
    ASSERT_EQ(remote.SelectConnection(0), 0);
    remote.Close();
  }
  DisableWireTrace();
  TraceLog trace = ReadTrace("wire.trace");
  EXPECT_GE(trace.outLines, 2);
  EXPECT_TRUE(trace.framesWhole);
  EXPECT_EQ(trace.out, recorder.fromHost);
  EXPECT_EQ(trace.in, recorder.toHost);
  EXPECT_FALSE(trace.in.empty());
}

}  // namespace
