#include "sim/links/inprocess_link.h"

#include <cstdio>

#include "transports/ztusb.h"

namespace sim {

std::vector<std::vector<uint8_t>> LinkWiring::Frames() const {
  std::vector<std::vector<uint8_t>> frames;
  for (const auto& w : written) frames.push_back(w.bytes);
  return frames;
}

int InProcessLink::Open() {
  ++wiring_.opens;
  if (wiring_.failOpen || wiring_.connections.empty()) return 1;
  open_ = true;
  selected_ = 0xFFFF;
  return 0;
}

int InProcessLink::Close() {
  if (open_) ++wiring_.closes;
  open_ = false;
  selected_ = 0xFFFF;
  return 0;
}

void InProcessLink::SetPortNameFilter(const char* text) { filter_ = text ? text : ""; }

bool InProcessLink::IsOpen() { return open_; }

int InProcessLink::GetNumberOfConnections(uint16_t* count) {
  *count = static_cast<uint16_t>(open_ ? wiring_.connections.size() : 0);
  return 0;
}

int InProcessLink::SelectConnection(uint16_t index) {
  if (index == selected_) return 0;
  if (!open_ || wiring_.failSelect || index >= wiring_.connections.size()) return 1;
  selected_ = index;
  ++wiring_.selects;
  return 0;
}

int InProcessLink::GetSelectedConnection(uint16_t* index) {
  *index = selected_;
  return 0;
}

int InProcessLink::GetConnectionName(uint16_t index, char* text, int size) {
  if (wiring_.failName || index >= wiring_.connections.size() || size <= 0) return 1;
  std::snprintf(text, static_cast<size_t>(size), "%s", wiring_.connections[index].name.c_str());
  return 0;
}

int InProcessLink::SetCardTarget(bool card) {
  if (!wiring_.supportsCardTarget) return 1;
  card_ = card;
  return 0;
}

int InProcessLink::Write(const uint8_t* data, int length) {
  if (!open_ || selected_ == 0xFFFF || wiring_.failWrite || length <= 0 || length > 152) return 1;
  wiring_.written.push_back({selected_, card_, std::vector<uint8_t>(data, data + length)});
  if (BytePeer* peer = wiring_.connections[selected_].peer) peer->FromHost(data, static_cast<size_t>(length), card_);
  return 0;
}

int InProcessLink::Read(uint8_t* buffer, int size, int* received) {
  *received = 0;
  if (!open_ || wiring_.failRead) return 1;
  if (selected_ == 0xFFFF || size <= 0) return 0;
  size_t max = static_cast<size_t>(size);
  if (wiring_.readChunk && wiring_.readChunk < max) max = wiring_.readChunk;
  if (BytePeer* peer = wiring_.connections[selected_].peer) *received = static_cast<int>(peer->ToHost(buffer, max));
  return 0;
}

void InProcessTransports::Serve(uint16_t type, LinkWiring* wiring) { served_.push_back({type, wiring}); }

COrvellaInterface* InProcessTransports::Create(uint16_t type) {
  requests_.push_back(type);
  for (const auto& [t, wiring] : served_)
    if (t == type) return new InProcessLink(*wiring);
  return nullptr;
}

CCardUpdater* InProcessTransports::CreateCardUpdater() { return new CZTUSB(); }

}  // namespace sim
