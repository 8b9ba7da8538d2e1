#pragma once
// A simulated unit as a protocol peer: it cuts the host's bytes into
// frames, answers reads from its register file, takes firmware packets for
// its PROM banks, its ZM-DIG module or its ZI-RERAR card, programs itself on
// the clock in force and keeps what it was programmed with, so a test can
// compare it with the image byte for byte. Fault switches make it misbehave
// on purpose.
//
// The product id (register 1, with register 6) decides the model. An
// Orvella(n) (96, or 38/39 with register 6 = 96) and a Vinto (49) check each
// packet against register 52, take the image size from 48..51 and
// understand the long register forms (16-bit addresses). An Orvella 16 (38),
// Orvella 8 (39) or Tervik Signalport 4x4 (128) addresses 512 registers with
// the short forms only (bit 8 in the message) and ignores long ones; it
// knows no packet check and no announced size, so its transfer ends when
// the host turns to reading the progress registers 56..58.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "protocol/product_ids.h"
#include "sim/unit/byte_peer.h"

namespace sim {

// Status bits of register 9 as the unit reports them.
enum UnitStatus : uint8_t {
  kStatusPip = 0x01,
  kStatusPgmErr = 0x02,
  kStatusTxErr = 0x04,
  kStatusPakRdy = 0x08,
  kStatusBank2 = 0x80,
};

// States of register 56 while the unit programs itself.
enum UnitProgramState : uint8_t {
  kStateIdle = 0,
  kStateErasing = 2,      // first half of the erase
  kStateErasingLate = 3,  // second half of the erase
  kStateProgramming = 4,
  kStateVerifying = 5,
  kStateDone = 6,
  kStateVerifyFailed = 7,  // the unit found its own copy differing (never sent by a sound unit)
};

// Serial number as packed by the host (model, year, week, number);
// kBlankSerial leaves the four registers at 0xFF.
constexpr uint32_t kBlankSerial = 0xFFFFFFFF;

// 16-bit firmware date word: day in bits 0..4, month in bits 8..11,
// year - 2000 split over bits 5..7 (high) and 12..15 (low).
constexpr uint16_t FirmwareDateWord(int year, int month, int day) {
  const int y = year - 2000;
  return static_cast<uint16_t>((day & 0x1F) | (((y >> 4) & 7) << 5) | ((month & 0x0F) << 8) | ((y & 0x0F) << 12));
}

struct UnitTiming {
  uint32_t eraseMs = 300;      // unit self-programming: states 2 and 3
  uint32_t programMs = 500;    // state 4
  uint32_t verifyMs = 300;     // state 5
  uint32_t cardEraseMs = 200;  // ZI-RERAR erase (command 12 + 3) until PIP clears
  uint32_t commitMs = 50;      // serial commit (command 12 + 10) until PIP clears
};

struct CardConfig {
  uint8_t id = 0;  // register 16; 0 = no card (21 ZI-RERAR, 50 VE-ZER, 24 ZT-HD ...)
  uint8_t major = 1;  // register 17
  uint8_t minor = 0;  // register 20
  uint8_t pcb = 1;    // register 18
  uint32_t serial = kBlankSerial;  // registers 28..31 (product id byte not stored)
};

struct UnitConfig {
  uint8_t productId = kProductOrvellaN;  // register 1
  uint8_t register6 = 0;   // second product id (96 marks an Orvella(n) reporting 38/39)
  uint8_t major = 1;       // registers 10/11: firmware 1.2 ...
  uint8_t minor = 2;
  uint16_t firmwareDate = FirmwareDateWord(2018, 11, 2);  // registers 7, 8: ... of 2 Nov 2018
  uint8_t pcb = 2;                                        // register 11 bits 4..7
  uint32_t serial = 0x6026D4D2;  // registers 12..15 (96, year 18, week 45, number 1234)
  bool promSwitchAtProm2 = true;  // register 5 bit 0x20
  CardConfig card;
  bool hasModule = false;  // ZM-DIG: register 25 = 2 | (modulePcb & 3)
  uint8_t modulePcb = 2;
  UnitTiming timing;
};

// Fault switches, read at the moment they matter, so a test may throw one
// mid-run. Packet N is the Nth data packet of the open transfer, counted
// from 0 whether taken or refused (a card transfer opens with its erase, a
// unit transfer with its first packet); verify request N likewise counts
// from the last programmed packet. -1 means off.
struct Faults {
  int dropAckAtPacket = -1;      // packet N is stored but its register-9 answer is never sent
  int delayAckAtPacket = -1;     // packet N's answer leaves `ackDelayMs` late ...
  uint32_t ackDelayMs = 0;       // ... (with delayAckAtPacket -1 and a delay: every packet)
  int corruptStoredByte = -1;    // byte offset of the stored image that gets flipped (so verify fails)
  int pgmErrAtPacket = -1;       // packet N is answered with PGMERR and not stored
  int txErrAtPacket = -1;        // packet N is answered with TXERR although its CRC is right
  uint8_t stallInState = 0;      // 2 or 3 (erase, the card's erase too), 4 or 5: never leaves that state
  int silentFromPacket = -1;     // from packet N on the unit answers nothing at all
  bool silent = false;           // answers nothing from now on (link loss)
  int readAnswerOffset = 0;      // reads are answered naming (and holding) start + offset
  int verifyOutOfOrderAt = -1;   // card verify packets N and N+1 come swapped
  int verifyByteChangedAt = -1;  // card verify packet N has its first byte flipped
  int verifyMissingAt = -1;      // card verify request N gets no answer
  int duplicateAckAtPacket = -1;  // packet N's register-9 answer is sent twice
  // Card verify request N is answered twice from the card's address: with
  // what the card holds, and straight after with the bytes the host wrote
  // (what a sender that overheard the transfer would forge).
  int forgedVerifyAt = -1;
  bool serialNeverMatches = false;      // writes to 12..15 and 28..31 are ignored
  bool commitNeverConfirmed = false;    // register 9 stays PIP after a serial commit
};

class UnitModel : public BytePeer {
 public:
  // How many received frames the unit keeps for tests to look at: a whole
  // image is tens of thousands of frames, and a simulated unit serving the
  // real program must not grow with every one of them.
  static constexpr size_t kFramesKept = 4096;

  // One host frame as the unit saw it (recorded for tests).
  struct Frame {
    uint8_t code = 0;     // bits 6..3 of byte 4
    bool toCard = false;  // arrived on the card's own endpoint
    std::vector<uint8_t> bytes;
  };

  explicit UnitModel(const UnitConfig& config = UnitConfig());

  void FromHost(const uint8_t* data, size_t n, bool toCard) override;
  size_t ToHost(uint8_t* out, size_t max) override;

  // Register r (0..2047) as the host would read it now; 0 beyond.
  uint8_t Register(uint16_t r);
  // Sets a register directly (test set-up), without any message.
  void SetRegister(uint16_t r, uint8_t value);

  // What the unit was last programmed with: per PROM bank (0 = PROM1,
  // 1 = PROM2), the card's flash (whole 128-byte packets, as written) and
  // the module's flash. PROM and module content appear once the unit has
  // finished programming (state 6); empty when never programmed.
  // Each first moves the unit on to the clock's present.
  const std::vector<uint8_t>& Prom(int bank);
  const std::vector<uint8_t>& CardFlash();
  const std::vector<uint8_t>& ModuleFlash();

  // Serial numbers packed as the host packs them (product or card id in
  // the top byte; kBlankSerial when the week register is 0 or 0xFF): the
  // present registers, and those the last commit (command 12 + 10) kept
  // (kBlankSerial before any commit).
  uint32_t UnitSerial();
  uint32_t CardSerial();
  uint32_t CommittedUnitSerial() const { return committedUnit_; }
  uint32_t CommittedCardSerial() const { return committedCard_; }
  int CommitCount() const { return commits_; }
  // Completion commands (8/9) the card received; cancels received.
  int CardCompleteCount() const { return cardCompletes_; }
  int CancelCount() const { return cancels_; }
  // Firmware packets taken since the unit was made (all targets).
  int PacketsAccepted() const { return packetsAccepted_; }

  Faults& faults() { return faults_; }
  const UnitConfig& config() const { return config_; }

  // The last kFramesKept well-formed frames the unit received, in order.
  const std::deque<Frame>& Received() const { return received_; }
  // How many well-formed frames with command code `code` (0..15) the unit
  // received since it was made, counting those no longer kept.
  int CountReceived(uint8_t code) const { return receivedByCode_[code & 0x0F]; }

  // Writes `serial` into the four serial registers at `regs` (12..15 or
  // 28..31 layout); kBlankSerial gives four 0xFF.
  static void PackSerial(uint8_t* regs, uint32_t serial);
  // Reads four serial registers back; `id` becomes the top byte.
  static uint32_t UnpackSerial(const uint8_t* regs, uint8_t id);

 private:
  enum class Target { kProm, kModule, kCard };
  struct Outgoing {
    uint32_t due;
    std::vector<uint8_t> bytes;
  };
  struct Cutter {
    std::vector<uint8_t> buf;
    bool inFrame = false;
  };

  void Cut(Cutter& c, const uint8_t* data, size_t n, bool toCard);
  void HandleFrame(const uint8_t* f, size_t n, bool toCard);
  void HandleRead(uint16_t start, uint32_t span);
  void HandleWrite(uint16_t reg, uint8_t value);
  void HandleCommand(uint8_t k, bool toCard);
  void HandlePacket(const uint8_t* f, size_t n, bool toCard);
  void HandleVerifyRequest(bool toCard);
  // Answers packet `index` with register 9 carrying `errorBits` (PIP clear).
  void Reply(uint8_t errorBits, int index);
  void Store(std::vector<uint8_t>& to, const uint8_t* data, size_t count);
  // Moves erase, commit and self-programming on to the present.
  void Advance();
  void SendRegisters(uint16_t start, const uint8_t* data, uint16_t n, uint32_t delay = 0);
  void SendStatus(uint32_t delay = 0);
  bool CardTarget(bool toCard) const;
  uint8_t ProductId() const;
  // Register 52 check, size in 48..51 and the long register forms.
  bool FullProtocol() const;
  // The whole image is in: the unit erases, programs and verifies by itself.
  void StartSelfProgramming();
  bool Silent() const;
  uint32_t Now() const;

  UnitConfig config_;
  Faults faults_;
  uint8_t regs_[2048] = {};
  Cutter cutters_[2];  // host endpoint, card endpoint
  std::deque<Outgoing> pending_;
  std::deque<uint8_t> out_;
  std::deque<Frame> received_;
  int receivedByCode_[16] = {};

  // Transfer.
  bool prepared_ = false;  // command 12 seen, waiting for 3, 4 or 10
  bool packetExpected_ = false;
  bool packetToCard_ = false;
  bool transferOpen_ = false;
  Target transferTarget_ = Target::kProm;
  uint32_t transferSize_ = 0;
  uint8_t banks_ = 0;  // bit 0 PROM1, bit 1 PROM2: selected since the last transfer
  uint8_t transferBanks_ = 0;
  std::vector<uint8_t> incoming_;
  bool storedCorrupt_ = false;
  int packetIndex_ = 0;  // packets seen in the open transfer
  int packetsAccepted_ = 0;
  bool silentLatched_ = false;

  // Self-programming after the last packet.
  bool selfProgramming_ = false;
  uint32_t selfStart_ = 0;

  // Erase (command 12 + 3), the card's verify read-back.
  bool erasing_ = false;
  uint32_t eraseStart_ = 0;
  bool eraseForCard_ = false;
  bool cardErased_ = false;
  int verifyRequests_ = 0;
  int cardCompletes_ = 0;

  // Serial commit.
  bool committing_ = false;
  uint32_t commitStart_ = 0;
  uint32_t committedUnit_ = kBlankSerial;
  uint32_t committedCard_ = kBlankSerial;
  int commits_ = 0;
  int cancels_ = 0;

  std::vector<uint8_t> prom_[2];
  std::vector<uint8_t> cardFlash_;
  std::vector<uint8_t> cardWritten_;  // as the host sent it, before any stored-byte fault
  std::vector<uint8_t> moduleFlash_;
};

}  // namespace sim
