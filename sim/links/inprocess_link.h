#pragma once
// An in-process transport for tests and simulations: carries frames to and
// from one sim::BytePeer per connection, with switches that make the link
// itself fail. The wiring (peers, switches, what was written) belongs to the
// test; the engine owns and deletes the link objects made from it.
//
//   sim::LinkWiring wiring;
//   wiring.Add(&unit, "Sim MIDI 1");
//   sim::InProcessTransports factory;
//   factory.Serve(kTransportMidi, &wiring);
//   platform::Override<TransportFactory> use(factory);
//   COrvellaRemote remote;  // remote.Open() now opens an InProcessLink
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/orvella_interface.h"
#include "protocol/transport_factory.h"
#include "sim/unit/byte_peer.h"

namespace sim {

struct LinkWiring {
  struct Connection {
    BytePeer* peer = nullptr;
    std::string name;
  };
  // One frame the host wrote, with where it went.
  struct Written {
    uint16_t connection = 0;
    bool toCard = false;
    std::vector<uint8_t> bytes;
  };

  std::vector<Connection> connections;

  // Fault switches, read on every call.
  bool failOpen = false;       // Open finds nothing
  bool failSelect = false;     // SelectConnection fails
  bool failWrite = false;      // Write fails (nothing reaches the peer)
  bool failRead = false;       // Read reports a failed link
  bool failName = false;       // GetConnectionName fails
  bool supportsCardTarget = true;  // SetCardTarget returns 0 and routes to the card
  size_t readChunk = 0;        // at most this many bytes per Read (0: as many as asked)

  // What happened, for assertions.
  std::vector<Written> written;
  int opens = 0;
  int closes = 0;
  int selects = 0;  // transport selections that reached a connection

  LinkWiring& Add(BytePeer* peer, std::string name) {
    connections.push_back({peer, std::move(name)});
    return *this;
  }
  // Frames written so far as raw bytes, in order.
  std::vector<std::vector<uint8_t>> Frames() const;
  void ClearWritten() { written.clear(); }
};

class InProcessLink final : public COrvellaInterface {
 public:
  explicit InProcessLink(LinkWiring& wiring) : wiring_(wiring) {}
  ~InProcessLink() override = default;

  ORVELLA_INTERFACE_OPERATIONS
  int SetCardTarget(bool card) override;

  const std::string& PortNameFilter() const { return filter_; }

 private:
  LinkWiring& wiring_;
  bool open_ = false;
  uint16_t selected_ = 0xFFFF;
  bool card_ = false;
  std::string filter_;
};

// A transport factory that makes InProcessLinks for the kinds it serves
// and nothing for the others, so the engine's order of kinds still runs.
class InProcessTransports final : public TransportFactory {
 public:
  void Serve(uint16_t type, LinkWiring* wiring);
  COrvellaInterface* Create(uint16_t type) override;
  // The real card updater binding: a VE-ZER card's driver library is
  // simulated by sim/vezer, not by the link.
  CCardUpdater* CreateCardUpdater() override;
  bool Simulated() const override { return simulated_; }
  // Lets a test stand these links in for real ones (what a real unit is
  // offered, and refused).
  void PretendReal() { simulated_ = false; }
  // Kinds the engine asked for, in order.
  const std::vector<uint16_t>& Requests() const { return requests_; }

 private:
  std::vector<std::pair<uint16_t, LinkWiring*>> served_;
  std::vector<uint16_t> requests_;
  bool simulated_ = true;
};

}  // namespace sim
