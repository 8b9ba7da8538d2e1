// Simulated cards on the network, without sockets: which port reaches the
// unit and which the card, one message per datagram back to the sender's
// port 5646, and the link faults.
#include <gtest/gtest.h>

#include <deque>

#include "protocol/codec.h"
#include "sim/network/card_endpoints.h"
#include "sim/network/card_unit.h"

namespace {

using sim::CardEndpoints;
using sim::Datagram;

constexpr uint32_t kCard = 0x0A000005;  // 10.0.0.5
constexpr uint32_t kHost = 0x0A000001;

// A peer that records what it got and answers with scripted byte chunks.
struct ScriptedPeer : sim::BytePeer {
  std::vector<std::pair<std::vector<uint8_t>, bool>> got;
  std::deque<std::vector<uint8_t>> chunks;
  void FromHost(const uint8_t* data, size_t n, bool toCard) override { got.push_back({{data, data + n}, toCard}); }
  size_t ToHost(uint8_t* out, size_t max) override {
    if (chunks.empty()) return 0;
    std::vector<uint8_t> c = chunks.front();
    chunks.pop_front();
    std::copy(c.begin(), c.begin() + static_cast<long>(std::min(max, c.size())), out);
    return std::min(max, c.size());
  }
};

Datagram ToCard(uint16_t port, std::vector<uint8_t> payload = {0xF0, 0x01, 0xF7}) {
  return {kHost, 40000, kCard, port, std::move(payload)};
}

TEST(CardEndpoints, PortsChooseTheUnitOrTheCardAndOtherAddressesGoNowhere) {
  ScriptedPeer peer;
  CardEndpoints net;
  net.AddCard(kCard, &peer);
  EXPECT_TRUE(net.Deliver(ToCard(sim::kUnitPort)));
  EXPECT_TRUE(net.Deliver(ToCard(sim::kCardPort)));
  EXPECT_FALSE(net.Deliver(ToCard(5646)));
  Datagram elsewhere = ToCard(sim::kUnitPort);
  elsewhere.to = kCard + 1;
  EXPECT_FALSE(net.Deliver(elsewhere));
  ASSERT_EQ(peer.got.size(), 2u);
  EXPECT_FALSE(peer.got[0].second);
  EXPECT_TRUE(peer.got[1].second);
  EXPECT_EQ(peer.got[0].first, (std::vector<uint8_t>{0xF0, 0x01, 0xF7}));
}

TEST(CardEndpoints, RepliesAreCutIntoOneMessagePerDatagramToTheSendersPort5646) {
  ScriptedPeer peer;
  CardEndpoints net;
  net.AddCard(kCard, &peer);
  // Before the host has spoken there is nobody to answer.
  peer.chunks = {{0xF0, 0x70, 0xF7}};
  EXPECT_TRUE(net.Collect().empty());
  net.Deliver(ToCard(sim::kUnitPort));
  // Two messages in one chunk, a third split over two, noise between.
  peer.chunks = {{0xF0, 0x71, 0xF7, 0x00, 0xF0, 0x72, 0xF7, 0xF0, 0x73}, {0x74, 0xF7}};
  std::vector<Datagram> out = net.Collect();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].payload, (std::vector<uint8_t>{0xF0, 0x71, 0xF7}));
  EXPECT_EQ(out[1].payload, (std::vector<uint8_t>{0xF0, 0x72, 0xF7}));
  EXPECT_EQ(out[2].payload, (std::vector<uint8_t>{0xF0, 0x73, 0x74, 0xF7}));
  for (const Datagram& d : out) {
    EXPECT_EQ(d.from, kCard);
    EXPECT_EQ(d.to, kHost);
    EXPECT_EQ(d.toPort, sim::kHostPort);
  }
  EXPECT_EQ(net.Find(kCard)->counts.sent, 3);
}

TEST(CardEndpoints, AUnitAnswersAReadOfItsCardId) {
  sim::UnitModel unit(sim::ZiRerarUnit(0));
  CardEndpoints net;
  net.AddCard(kCard, &unit);
  uint8_t read[codec::kShortLength];
  codec::BuildShort(read, codec::kRead, 16, 0);
  net.Deliver(ToCard(sim::kUnitPort, {read, read + sizeof read}));
  std::vector<Datagram> out = net.Collect();
  ASSERT_EQ(out.size(), 1u);
  uint8_t expected[16];
  const uint8_t id = 21;
  const size_t n = codec::BuildRegisterData(expected, 16, &id, 1);
  EXPECT_EQ(out[0].payload, std::vector<uint8_t>(expected, expected + n));
}

TEST(CardEndpoints, EveryNthDatagramEitherWayIsLost) {
  ScriptedPeer peer;
  CardEndpoints net;
  net.AddCard(kCard, &peer).faults.dropEvery = 3;
  for (int i = 0; i < 4; ++i) net.Deliver(ToCard(sim::kUnitPort));  // the 3rd is lost
  EXPECT_EQ(peer.got.size(), 3u);
  peer.chunks = {{0xF0, 1, 0xF7, 0xF0, 2, 0xF7, 0xF0, 3, 0xF7}};  // crossings 5, 6 (lost), 7
  std::vector<Datagram> out = net.Collect();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].payload[1], 3);
  EXPECT_EQ(net.Find(kCard)->counts.dropped, 2);
}

TEST(CardEndpoints, ACardFallsSilentAfterItsLastDatagram) {
  ScriptedPeer peer;
  CardEndpoints net;
  net.AddCard(kCard, &peer).faults.silentAfter = 2;
  for (int i = 0; i < 3; ++i) net.Deliver(ToCard(sim::kCardPort));
  EXPECT_EQ(peer.got.size(), 2u);
  peer.chunks = {{0xF0, 1, 0xF7}};
  EXPECT_TRUE(net.Collect().empty());
}

}  // namespace

namespace {

TEST(CardEndpoints, LostCompletionsAndAFloodFromAnotherPortAsAHostileNetworkWould) {
  ScriptedPeer peer;
  CardEndpoints net;
  CardEndpoints::Card& card = net.AddCard(kCard, &peer);
  card.faults.loseCompletions = 1;
  card.faults.floodPerReply = 3;
  uint8_t complete[codec::kCommandLength];
  codec::BuildCommand(complete, codec::kCompleteBankSet);
  const std::vector<uint8_t> completion(complete, complete + sizeof complete);
  net.Deliver(ToCard(sim::kCardPort, completion));  // lost
  net.Deliver(ToCard(sim::kCardPort, completion));  // taken
  net.Deliver(ToCard(sim::kCardPort));              // anything else passes
  ASSERT_EQ(peer.got.size(), 2u);
  EXPECT_EQ(peer.got[0].first, completion);
  EXPECT_EQ(card.counts.dropped, 1);

  peer.chunks = {{0xF0, 0x70, 0xF7}};
  const std::vector<Datagram> out = net.Collect();
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].fromPort, sim::kUnitPort);
  for (size_t i = 1; i < out.size(); ++i) {
    EXPECT_EQ(out[i].from, kCard);  // the card's address ...
    EXPECT_EQ(out[i].fromPort, card.faults.floodPort);  // ... another port
    EXPECT_EQ(out[i].toPort, sim::kHostPort);
  }
  EXPECT_EQ(card.counts.flooded, 3);
}

}  // namespace
