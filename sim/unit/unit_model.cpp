// Framing, register reads and writes, and the output queue of the unit
// model. Commands, packets and the time-driven programming are in
// unit_transfer.cpp.
#include "sim/unit/unit_model.h"

#include <algorithm>
#include <cstring>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "protocol/product_ids.h"
#include "protocol/serial_packing.h"

namespace sim {

namespace {

// A frame longer than this cannot be anything the unit understands; the
// cutter drops it instead of growing without bound.
constexpr size_t kMaxFrame = 4096;

bool Due(uint32_t now, uint32_t due) { return static_cast<int32_t>(now - due) >= 0; }

}  // namespace

UnitModel::UnitModel(const UnitConfig& config) : config_(config) {
  regs_[1] = config.productId;
  regs_[5] = config.promSwitchAtProm2 ? 0x20 : 0x00;
  regs_[6] = config.register6;
  regs_[7] = static_cast<uint8_t>(config.firmwareDate & 0xFF);
  regs_[8] = static_cast<uint8_t>(config.firmwareDate >> 8);
  regs_[10] = static_cast<uint8_t>((config.major & 0x3F) | ((config.minor & 3) << 6));
  regs_[11] = static_cast<uint8_t>(((config.minor >> 2) & 0x0F) | ((config.pcb & 0x0F) << 4));
  PackSerial(&regs_[12], config.serial);
  if (config.card.id != 0) {
    regs_[16] = config.card.id;
    regs_[17] = config.card.major;
    regs_[18] = config.card.pcb;
    regs_[20] = config.card.minor;
    PackSerial(&regs_[28], config.card.serial);
  }
  if (config.hasModule) regs_[25] = static_cast<uint8_t>(2 | (config.modulePcb & 3));
}

void UnitModel::PackSerial(uint8_t* regs, uint32_t serial) {
  if (serial == kBlankSerial) {
    std::memset(regs, 0xFF, 4);
    return;
  }
  serial_packing::ToRegisters(serial, regs);
}

uint32_t UnitModel::UnpackSerial(const uint8_t* regs, uint8_t id) {
  if (regs[0] == 0 || regs[0] == 0xFF) return kBlankSerial;
  return serial_packing::FromRegisters(regs, id);
}

uint32_t UnitModel::UnitSerial() {
  Advance();
  return UnpackSerial(&regs_[12], ProductId());
}

uint32_t UnitModel::CardSerial() {
  Advance();
  return UnpackSerial(&regs_[28], regs_[16]);
}

uint8_t UnitModel::ProductId() const {
  const bool orvellaN = (regs_[1] == kProductOrvella16 || regs_[1] == kProductOrvella8) && regs_[6] == kProductOrvellaN;
  return orvellaN ? kProductOrvellaN : regs_[1];
}

// The kind of unit this is, whatever a test later writes into its
// registers.
bool UnitModel::FullProtocol() const {
  const uint8_t id = config_.productId;
  return id == 96 || id == 49 || ((id == 38 || id == 39) && config_.register6 == 96);
}

uint8_t UnitModel::Register(uint16_t r) {
  if (r >= 2048) return 0;
  Advance();
  return regs_[r];
}

const std::vector<uint8_t>& UnitModel::Prom(int bank) {
  Advance();
  return prom_[bank & 1];
}

const std::vector<uint8_t>& UnitModel::CardFlash() {
  Advance();
  return cardFlash_;
}

const std::vector<uint8_t>& UnitModel::ModuleFlash() {
  Advance();
  return moduleFlash_;
}

void UnitModel::SetRegister(uint16_t r, uint8_t value) {
  if (r < 2048) regs_[r] = value;
}

uint32_t UnitModel::Now() const { return platform::TickCount(); }

bool UnitModel::Silent() const { return faults_.silent || silentLatched_; }

void UnitModel::FromHost(const uint8_t* data, size_t n, bool toCard) {
  if (Silent() || data == nullptr) return;
  Cut(cutters_[toCard ? 1 : 0], data, n, toCard);
}

// Cuts System Exclusive frames out of the byte stream. Bytes outside a
// frame are noise; a status byte inside one breaks it off; real-time bytes
// (0xF8 and up) may be interleaved by a MIDI link and are skipped.
void UnitModel::Cut(Cutter& c, const uint8_t* data, size_t n, bool toCard) {
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = data[i];
    if (b == codec::kSysEx) {
      c.buf.assign(1, b);
      c.inFrame = true;
      continue;
    }
    if (!c.inFrame) continue;
    if (b >= 0xF8) continue;
    if (b == codec::kEndSysEx) {
      c.buf.push_back(b);
      c.inFrame = false;
      HandleFrame(c.buf.data(), c.buf.size(), toCard);
      c.buf.clear();
      if (Silent()) return;
      continue;
    }
    if (b & 0x80 || c.buf.size() >= kMaxFrame) {
      c.buf.clear();
      c.inFrame = false;
      continue;
    }
    c.buf.push_back(b);
  }
}

void UnitModel::HandleFrame(const uint8_t* f, size_t n, bool toCard) {
  if (n < 6 || !codec::FromManufacturer(f, n)) return;
  const uint8_t code = (f[4] >> 3) & 0x0F;
  ++receivedByCode_[code];
  if (received_.size() >= kFramesKept) received_.pop_front();
  received_.push_back(Frame{code, toCard, std::vector<uint8_t>(f, f + n)});
  if (code == codec::kDataPacket) {
    HandlePacket(f, n, toCard);
    return;
  }
  codec::Header h;
  if (!codec::ParseHeader(f, n, &h)) return;

  const bool shortForm = n == codec::kShortLength;
  switch (code) {
    case codec::kWrite:
      if (shortForm || (FullProtocol() && h.longForm && n == codec::kLongWriteLength))
        HandleWrite(h.first, h.Value());
      return;
    case codec::kRead:
      // A short read names at most 9-bit registers; older units know no other.
      if (shortForm || (FullProtocol() && h.longForm && n == codec::kLongReadLength)) HandleRead(h.first, h.span);
      return;
    case 2:
    case codec::kRegisterData:
      return;
    default: {
      if (n != codec::kCommandLength) return;
      const uint8_t low = ~code & 0x0F;
      if (h.first != ((low << 4) | low) || h.span != codec::CommandCheck(code)) return;  // damaged command
      HandleCommand(code, toCard);
      return;
    }
  }
}

void UnitModel::HandleRead(uint16_t start, uint32_t span) {
  int first = start + faults_.readAnswerOffset;
  if (first < 0 || first >= 2048 || start >= 2048) return;
  // A model without an announced size knows the image is complete when the
  // host turns to the progress registers.
  if (transferOpen_ && transferSize_ == 0 && !incoming_.empty() && start <= 58 && start + span >= 56) {
    StartSelfProgramming();
  }
  Advance();
  const uint32_t count = std::min<uint32_t>(span + 1, 2048 - static_cast<uint32_t>(first));
  SendRegisters(static_cast<uint16_t>(first), &regs_[first], static_cast<uint16_t>(count));
}

void UnitModel::HandleWrite(uint16_t reg, uint8_t value) {
  if (reg >= 2048) return;
  switch (reg) {
    case 5:  // bit 5 is the PROM select switch, not something a write can move
      regs_[5] = static_cast<uint8_t>((value & ~0x20) | (regs_[5] & 0x20));
      return;
    case 9:  // the status flags are the unit's; the host may only set the bank bit
      regs_[9] = static_cast<uint8_t>((regs_[9] & 0x7F) | (value & 0x80));
      return;
    case 56:
    case 57:
    case 58:
      return;
    case 12:
    case 13:
    case 14:
    case 15:
    case 28:
    case 29:
    case 30:
    case 31:
      if (faults_.serialNeverMatches) return;
      break;
    default:
      break;
  }
  regs_[reg] = value;
}

void UnitModel::SendRegisters(uint16_t start, const uint8_t* data, uint16_t n, uint32_t delay) {
  if (n == 0 || Silent()) return;
  Outgoing o;
  o.due = Now() + delay;
  o.bytes.resize(codec::RegisterDataLength(start, n));
  o.bytes.resize(codec::BuildRegisterData(o.bytes.data(), start, data, n));
  pending_.push_back(std::move(o));
}

void UnitModel::SendStatus(uint32_t delay) { SendRegisters(9, &regs_[9], 1, delay); }

size_t UnitModel::ToHost(uint8_t* out, size_t max) {
  if (Silent()) {
    pending_.clear();
    out_.clear();
    return 0;
  }
  Advance();
  const uint32_t now = Now();
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (Due(now, it->due)) {
      out_.insert(out_.end(), it->bytes.begin(), it->bytes.end());
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
  const size_t n = std::min(max, out_.size());
  std::copy_n(out_.begin(), n, out);
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

}  // namespace sim
