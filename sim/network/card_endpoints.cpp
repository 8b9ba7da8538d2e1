#include "sim/network/card_endpoints.h"

#include <algorithm>

#include "protocol/codec.h"

namespace sim {
namespace {

constexpr uint8_t kMessageStart = 0xF0;
constexpr uint8_t kMessageEnd = 0xF7;

bool Silent(const CardEndpoints::Card& card) {
  return card.faults.silentAfter >= 0 && card.counts.received >= card.faults.silentAfter;
}

}  // namespace

CardEndpoints::Card& CardEndpoints::AddCard(uint32_t address, BytePeer* unit) {
  cards_.push_back(std::make_unique<Card>());
  cards_.back()->address = address;
  cards_.back()->unit = unit;
  return *cards_.back();
}

CardEndpoints::Card* CardEndpoints::Find(uint32_t address) {
  for (auto& card : cards_) {
    if (card->address == address) return card.get();
  }
  return nullptr;
}

bool CardEndpoints::Serves(uint32_t address, uint16_t port) {
  return (port == kUnitPort || port == kCardPort) && Find(address) != nullptr;
}

bool CardEndpoints::Deliver(const Datagram& datagram) {
  if (!Serves(datagram.to, datagram.toPort)) return false;
  DeliverTo(*Find(datagram.to), datagram, datagram.toPort == kCardPort);
  return true;
}

void CardEndpoints::DeliverTo(Card& card, const Datagram& datagram, bool toCard) {
  if (Silent(card)) return;
  if (Loses(card.faults.loseCompletions, datagram.payload, {codec::kCompleteBankSet, codec::kCompleteBankClear}) ||
      Loses(card.faults.loseSerialCommits, datagram.payload, {codec::kCommitSerial})) {
    ++card.counts.dropped;
    return;
  }
  if (LinkLoses(card)) return;
  ++card.counts.received;
  card.host = datagram.from;
  if (!datagram.payload.empty()) card.unit->FromHost(datagram.payload.data(), datagram.payload.size(), toCard);
}

std::vector<Datagram> CardEndpoints::Collect() {
  std::vector<Datagram> out;
  uint8_t buffer[4096];
  for (auto& card : cards_) {
    while (size_t n = card->unit->ToHost(buffer, sizeof buffer)) CutMessages(*card, buffer, n, out);
  }
  return out;
}

bool CardEndpoints::LinkLoses(Card& card) {
  ++card.crossed;
  if (card.faults.dropEvery <= 0 || card.crossed % card.faults.dropEvery != 0) return false;
  ++card.counts.dropped;
  return true;
}

// A message runs from its start byte to its end byte; the unit sends
// nothing between messages, so anything there is not worth a datagram.
void CardEndpoints::CutMessages(Card& card, const uint8_t* data, size_t n, std::vector<Datagram>& out) {
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = data[i];
    if (b == kMessageStart) {
      card.partial.assign(1, b);
      card.inMessage = true;
      continue;
    }
    if (!card.inMessage) continue;
    card.partial.push_back(b);
    if (b != kMessageEnd) continue;
    card.inMessage = false;
    if (card.host == 0 || Silent(card) || LinkLoses(card)) continue;
    ++card.counts.sent;
    out.push_back({card.address, kUnitPort, card.host, kHostPort, std::move(card.partial)});
    card.partial.clear();
    Flood(card, out);
  }
}

bool CardEndpoints::IsCommand(const std::vector<uint8_t>& payload, uint8_t k) {
  uint8_t command[codec::kCommandLength];
  codec::BuildCommand(command, k);
  return payload.size() == sizeof command && std::equal(payload.begin(), payload.end(), command);
}

bool CardEndpoints::Loses(int& budget, const std::vector<uint8_t>& payload, std::initializer_list<uint8_t> k) {
  if (budget <= 0) return false;
  for (uint8_t code : k) {
    if (IsCommand(payload, code)) {
      --budget;
      return true;
    }
  }
  return false;
}

void CardEndpoints::Flood(Card& card, std::vector<Datagram>& out) {
  for (int i = 0; i < card.faults.floodPerReply; ++i) {
    std::vector<uint8_t> payload;
    const int kind = card.counts.flooded++ % 3;
    if (kind == 2) {
      payload = {0x00, 0x55, 0xAA, 0x13};
    } else {
      const uint8_t status = kind == 0 ? 0x02 : 0x08;  // PGMERR, then PAKRDY
      payload.resize(codec::RegisterDataLength(9, 1));
      payload.resize(codec::BuildRegisterData(payload.data(), 9, &status, 1));
    }
    out.push_back({card.address, card.faults.floodPort, card.host, kHostPort, std::move(payload)});
  }
}

}  // namespace sim
