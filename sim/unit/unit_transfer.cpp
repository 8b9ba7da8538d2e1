// Programming commands, firmware packets, the card's verify read-back and
// the unit's time-driven erase/program/verify run.
#include <algorithm>
#include <utility>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "sim/unit/unit_model.h"

namespace sim {

namespace {

constexpr size_t kPacket = 128;

// The announced size is taken up front so the buffer does not double its
// way past the image; a wild size from the host is not trusted that far.
constexpr size_t kMaxReserve = 8u << 20;

// Reads the data bytes of a data packet: one 7-bit stream from byte 4 on,
// most significant bit first, whose first four bits are the code 1111.
// Returns the byte count, 0 when the frame holds none or too many.
size_t DecodePacket(const uint8_t* f, size_t n, uint8_t* out) {
  if (n < 7) return 0;
  const size_t groups = n - 5;  // bytes between the command byte's start and the 0xF7
  const size_t bits = 7 * groups;
  if (bits < 4 + 8) return 0;
  const size_t count = (bits - 4) / 8;
  if (count > kPacket) return 0;
  size_t pos = 4;
  for (size_t b = 0; b < count; ++b) {
    uint8_t v = 0;
    for (int i = 0; i < 8; ++i, ++pos) v = static_cast<uint8_t>((v << 1) | ((f[4 + pos / 7] >> (6 - pos % 7)) & 1));
    out[b] = v;
  }
  return count;
}

}  // namespace

bool UnitModel::CardTarget(bool toCard) const {
  return regs_[16] != 0 && (toCard || (regs_[5] & 0x10) != 0);
}

void UnitModel::HandleCommand(uint8_t k, bool toCard) {
  Advance();
  const bool prepared = prepared_;
  prepared_ = false;
  // Erasing, receiving a packet and committing a serial all show PIP.
  auto showBusy = [this] { regs_[9] = static_cast<uint8_t>((regs_[9] & kStatusBank2) | kStatusPip); };
  // These three act only straight after a prepare command.
  const bool needsPrepare = k == codec::kErase || k == codec::kPacketFollows || k == codec::kCommitSerial;
  if (needsPrepare && !prepared) return;
  switch (k) {
    case codec::kPrepare:
      prepared_ = true;
      return;
    case codec::kErase:
      erasing_ = true;
      eraseStart_ = Now();
      showBusy();
      eraseForCard_ = CardTarget(toCard);
      if (eraseForCard_) {
        cardFlash_.clear();
        cardWritten_.clear();
        cardErased_ = false;
        packetIndex_ = 0;
        verifyRequests_ = 0;
      }
      return;
    case codec::kPacketFollows:
      packetExpected_ = true;
      packetToCard_ = CardTarget(toCard);
      showBusy();
      return;
    case codec::kCommitSerial:
      committing_ = true;
      commitStart_ = Now();
      showBusy();
      return;
    case codec::kNextVerifyPacket:
      HandleVerifyRequest(toCard);
      return;
    case codec::kSelectBank1:
      banks_ |= 1;
      regs_[9] &= static_cast<uint8_t>(~kStatusBank2);
      return;
    case codec::kSelectBank2:
      banks_ |= 2;
      regs_[9] |= kStatusBank2;
      return;
    case codec::kCompleteBankSet:
    case codec::kCompleteBankClear:
      regs_[9] = k == codec::kCompleteBankSet ? kStatusBank2 : 0;
      if (CardTarget(toCard)) ++cardCompletes_;
      return;
    case codec::kCancel:
      ++cancels_;
      packetExpected_ = false;
      transferOpen_ = false;
      selfProgramming_ = false;
      erasing_ = false;
      incoming_ = std::vector<uint8_t>();
      banks_ = 0;
      packetIndex_ = 0;
      regs_[9] &= kStatusBank2;
      regs_[56] = regs_[57] = regs_[58] = 0;
      return;
    case codec::kReloadAll:
      SendRegisters(0, regs_, 128);
      return;
    default:
      return;
  }
}

void UnitModel::Reply(uint8_t errorBits, int index) {
  regs_[9] = static_cast<uint8_t>((regs_[9] & ~(kStatusPip | kStatusPgmErr | kStatusTxErr)) | errorBits);
  if (index == faults_.dropAckAtPacket) return;
  uint32_t delay = 0;
  if (faults_.ackDelayMs && (faults_.delayAckAtPacket < 0 || faults_.delayAckAtPacket == index))
    delay = faults_.ackDelayMs;
  SendStatus(delay);
  if (index == faults_.duplicateAckAtPacket) SendStatus(delay);
}

void UnitModel::HandlePacket(const uint8_t* f, size_t n, bool toCard) {
  (void)toCard;  // the target was fixed by the command 4 that announced the packet
  if (!packetExpected_) return;  // a packet nobody announced is not taken
  packetExpected_ = false;
  Advance();

  const bool card = packetToCard_;
  if (!card && !transferOpen_ && !selfProgramming_) {
    transferOpen_ = true;
    transferSize_ = FullProtocol() ? regs_[48] | (regs_[49] << 8) | (regs_[50] << 16) |
                                         (static_cast<uint32_t>(regs_[51]) << 24)
                                   : 0;
    transferTarget_ = regs_[53] == 5 ? Target::kModule : Target::kProm;
    transferBanks_ = banks_ ? banks_ : ((regs_[9] & kStatusBank2) ? 2 : 1);
    incoming_.clear();
    incoming_.reserve(std::min<size_t>(transferSize_, kMaxReserve));
    storedCorrupt_ = false;
    packetIndex_ = 0;
    regs_[56] = regs_[57] = regs_[58] = 0;
  }
  const int index = packetIndex_++;
  if (faults_.silentFromPacket >= 0 && index >= faults_.silentFromPacket) {
    silentLatched_ = true;
    pending_.clear();
    out_.clear();
    return;
  }

  uint8_t data[kPacket];
  const size_t count = DecodePacket(f, n, data);
  const bool checked = FullProtocol();
  if (count == 0 || (checked && codec::PacketCrc8(data, count) != regs_[52]) || index == faults_.txErrAtPacket) {
    Reply(kStatusTxErr, index);
    return;
  }
  const bool refused = index == faults_.pgmErrAtPacket || (card && (erasing_ || !cardErased_)) ||
                       (!card && (selfProgramming_ || (transferTarget_ == Target::kModule && !config_.hasModule)));
  if (refused) {
    Reply(kStatusPgmErr, index);
    return;
  }

  if (card) {
    cardWritten_.insert(cardWritten_.end(), data, data + count);
    Store(cardFlash_, data, count);
    verifyRequests_ = 0;
  } else {
    size_t take = count;
    if (transferSize_ != 0) take = std::min<size_t>(count, transferSize_ - std::min<size_t>(transferSize_, incoming_.size()));
    Store(incoming_, data, take);
  }
  ++packetsAccepted_;
  Reply(0, index);
  if (!card && transferSize_ != 0 && incoming_.size() >= transferSize_) StartSelfProgramming();
}

void UnitModel::StartSelfProgramming() {
  transferOpen_ = false;
  selfProgramming_ = true;
  selfStart_ = Now();
  banks_ = 0;
  regs_[56] = kStateErasing;
  regs_[57] = 0;
  regs_[58] = 0;
}

void UnitModel::Store(std::vector<uint8_t>& to, const uint8_t* data, size_t count) {
  const size_t at = to.size();
  to.insert(to.end(), data, data + count);
  const int c = faults_.corruptStoredByte;
  if (c >= 0 && static_cast<size_t>(c) >= at && static_cast<size_t>(c) < to.size()) {
    to[c] ^= 0xFF;
    storedCorrupt_ = true;
  }
}

void UnitModel::HandleVerifyRequest(bool toCard) {
  if (!CardTarget(toCard)) return;
  regs_[9] &= static_cast<uint8_t>(~kStatusPakRdy);
  const int n = verifyRequests_++;
  if (n == faults_.verifyMissingAt) return;
  int packet = n;
  if (faults_.verifyOutOfOrderAt >= 0) {
    if (n == faults_.verifyOutOfOrderAt) packet = n + 1;
    if (n == faults_.verifyOutOfOrderAt + 1) packet = n - 1;
  }
  uint8_t data[kPacket];
  const size_t from = static_cast<size_t>(packet) * kPacket;
  for (size_t i = 0; i < kPacket; ++i) data[i] = from + i < cardFlash_.size() ? cardFlash_[from + i] : 0xFF;  // erased flash
  if (n == faults_.verifyByteChangedAt) data[0] ^= 0xFF;
  regs_[9] |= kStatusPakRdy;
  SendRegisters(128, data, kPacket);
  if (n == faults_.forgedVerifyAt) {
    uint8_t forged[kPacket];
    for (size_t i = 0; i < kPacket; ++i) forged[i] = from + i < cardWritten_.size() ? cardWritten_[from + i] : 0xFF;
    SendRegisters(128, forged, kPacket);
  }
}

void UnitModel::Advance() {
  const uint32_t now = Now();
  const UnitTiming& t = config_.timing;

  const bool eraseStalled = faults_.stallInState == kStateErasing || faults_.stallInState == kStateErasingLate;
  if (erasing_ && !eraseStalled && now - eraseStart_ >= t.cardEraseMs) {
    erasing_ = false;
    if (eraseForCard_) cardErased_ = true;
    regs_[9] &= static_cast<uint8_t>(~kStatusPip);
    SendStatus();
  }

  if (committing_ && now - commitStart_ >= t.commitMs && !faults_.commitNeverConfirmed) {
    committing_ = false;
    ++commits_;
    committedUnit_ = UnpackSerial(&regs_[12], ProductId());
    committedCard_ = regs_[16] ? UnpackSerial(&regs_[28], regs_[16]) : kBlankSerial;
    regs_[9] &= static_cast<uint8_t>(~kStatusPip);
    SendStatus();
  }

  if (!selfProgramming_) return;
  uint32_t elapsed = now - selfStart_;
  const uint32_t eraseEnd = t.eraseMs, programEnd = eraseEnd + t.programMs, verifyEnd = programEnd + t.verifyMs;
  // A stalled unit stays half-way through its phase for good.
  const bool stalled = faults_.stallInState >= kStateErasing && faults_.stallInState <= kStateVerifying;
  switch (faults_.stallInState) {
    case kStateErasing:
      elapsed = std::min(elapsed, eraseEnd / 4);
      break;
    case kStateErasingLate:
      elapsed = std::min(elapsed, eraseEnd * 3 / 4);
      break;
    case kStateProgramming:
      elapsed = std::min(elapsed, eraseEnd + t.programMs / 2);
      break;
    case kStateVerifying:
      elapsed = std::min(elapsed, programEnd + t.verifyMs / 2);
      break;
    default:
      break;
  }
  auto percent = [](uint32_t done, uint32_t whole) {
    return static_cast<uint8_t>(whole ? std::min<uint32_t>(100, done * 100 / whole) : 100);
  };
  if (elapsed < eraseEnd) {
    regs_[56] = elapsed < eraseEnd / 2 ? kStateErasing : kStateErasingLate;
    regs_[58] = percent(elapsed, t.eraseMs);
  } else if (elapsed < programEnd) {
    regs_[56] = kStateProgramming;
    regs_[58] = percent(elapsed - eraseEnd, t.programMs);
  } else if (elapsed < verifyEnd) {
    regs_[56] = kStateVerifying;
    regs_[58] = percent(elapsed - programEnd, t.verifyMs);
  } else if (!stalled) {
    selfProgramming_ = false;
    regs_[58] = 100;
    if (storedCorrupt_) {
      // The unit's own read-back finds the difference and says so.
      regs_[56] = kStateVerifyFailed;
      regs_[9] |= kStatusPgmErr;
    } else {
      regs_[56] = kStateDone;
    }
    // What reached the flash is kept either way, as a real part would.
    // The buffer moves over rather than being copied: an image is megabytes.
    if (transferTarget_ == Target::kModule) {
      moduleFlash_ = std::move(incoming_);
      regs_[53] = 0;
    } else if ((transferBanks_ & 3) == 3) {
      prom_[0] = incoming_;
      prom_[1] = std::move(incoming_);
    } else {
      prom_[(transferBanks_ & 2) ? 1 : 0] = std::move(incoming_);
    }
    incoming_ = std::vector<uint8_t>();
  }
}

}  // namespace sim
