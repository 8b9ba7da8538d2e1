#pragma once
// Simulated ZI-RERAR cards on an IPv4 network, without sockets: each card
// has an address and stands in front of one unit model. A datagram to port
// 5645 is for the unit, one to 5647 for the card itself; whatever the unit
// sends back is cut into messages and leaves as one datagram per message,
// to the last sender's address, port 5646. The caller moves the datagrams
// (real sockets in the simulator process, socket pairs in-process).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <vector>

#include "sim/unit/byte_peer.h"

namespace sim {

inline constexpr uint16_t kUnitPort = 5645;
inline constexpr uint16_t kHostPort = 5646;
inline constexpr uint16_t kCardPort = 5647;

// Addresses and ports are in host order, as the UDP service has them.
struct Datagram {
  uint32_t from = 0;
  uint16_t fromPort = 0;
  uint32_t to = 0;
  uint16_t toPort = 0;
  std::vector<uint8_t> payload;
};

// What the network does to a card's traffic, read as each datagram passes,
// so a test may change them mid-run.
struct NetworkFaults {
  // Every Nth datagram crossing the card's link (either way, counted
  // together) is lost; 0 = none.
  int dropEvery = 0;
  // After the card has taken this many datagrams from the host it neither
  // hears nor answers anything more (a link lost mid-transfer); -1 = never.
  int silentAfter = -1;
  // The next this many completion commands (8 or 9) from the host are lost
  // on the link, and only they: the card then never ends its transfer.
  int loseCompletions = 0;
  // The same for serial-number commits (command 10): the number is then
  // never kept and never confirmed.
  int loseSerialCommits = 0;
  // With every reply the card's address also sends this many datagrams
  // from port `floodPort` (a status with PGMERR, one with PAKRDY, garbage,
  // in turn), as another program on the card or a forger would; 0 = none.
  int floodPerReply = 0;
  uint16_t floodPort = 5650;
};

struct CardCounts {
  int received = 0;  // datagrams the card took from the host
  int sent = 0;      // datagrams it sent back
  int dropped = 0;   // datagrams lost either way
  int flooded = 0;   // datagrams sent from the flood port
};

class CardEndpoints {
 public:
  struct Card {
    uint32_t address = 0;
    BytePeer* unit = nullptr;
    NetworkFaults faults;
    CardCounts counts;
    uint32_t host = 0;  // where replies go: the last sender
    int crossed = 0;    // datagrams over the link, for dropEvery
    std::vector<uint8_t> partial;  // unit bytes not yet a whole message
    bool inMessage = false;
  };

  // Puts a card at `address` in front of `unit` (not owned; it must outlive
  // this object). Returns it for fault switches and counts.
  Card& AddCard(uint32_t address, BytePeer* unit);
  // The card at `address`, or null.
  Card* Find(uint32_t address);
  std::vector<std::unique_ptr<Card>>& Cards() { return cards_; }

  // True when `address`:`port` is one of a card's two ports.
  bool Serves(uint32_t address, uint16_t port);

  // Hands a datagram from the host to the card it is addressed to. False
  // when no card serves that address and port (the datagram goes nowhere);
  // true when a card's link carried it, even if the link then lost it.
  bool Deliver(const Datagram& datagram);
  // Same, to a given card whatever the destination address says (a host
  // that reached the card under another of its addresses); `toCard`
  // chooses the card's own port.
  void DeliverTo(Card& card, const Datagram& datagram, bool toCard);

  // Moves every unit on to the present and returns what the cards send.
  std::vector<Datagram> Collect();

 private:
  bool LinkLoses(Card& card);
  static bool IsCommand(const std::vector<uint8_t>& payload, uint8_t k);
  // Takes one from `budget` and says true when the datagram is `k`s to lose.
  static bool Loses(int& budget, const std::vector<uint8_t>& payload, std::initializer_list<uint8_t> k);
  void Flood(Card& card, std::vector<Datagram>& out);
  void CutMessages(Card& card, const uint8_t* data, size_t n, std::vector<Datagram>& out);

  std::vector<std::unique_ptr<Card>> cards_;
};

}  // namespace sim
