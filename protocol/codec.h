#pragma once
// Frame builders and checks of the remote-control protocol: MIDI System
// Exclusive frames F0 00 01 54 <command byte> <7-bit body> F7. Free
// functions so that the engine, the MIDI port probe and the unit model all
// speak the same bytes.
#include <cstddef>
#include <cstdint>

namespace codec {

constexpr uint8_t kSysEx = 0xF0;
constexpr uint8_t kEndSysEx = 0xF7;
constexpr uint8_t kManufacturer[3] = {0x00, 0x01, 0x54};

// Command codes (bits 6..3 of byte 4).
enum Code : uint8_t {
  kWrite = 0,
  kReloadAll = 1,
  kErase = 3,
  kPacketFollows = 4,
  kNextVerifyPacket = 5,
  kSelectBank1 = 6,
  kSelectBank2 = 7,
  kCompleteBankSet = 8,
  kCompleteBankClear = 9,
  kCommitSerial = 10,
  kCancel = 11,
  kPrepare = 12,
  kRead = 13,
  kRegisterData = 14,
  kDataPacket = 15,
};

constexpr size_t kShortLength = 8;
constexpr size_t kLongReadLength = 11;
constexpr size_t kLongWriteLength = 10;
constexpr size_t kCommandLength = 8;
constexpr size_t kMaxPacketData = 128;
constexpr size_t kMaxDataFrame = 152;

// Format 1: short register write (code 0) or read request (code 13) for a
// 9-bit register; `value` is the value or the span cut to 8 bits.
void BuildShort(uint8_t out[kShortLength], uint8_t code, uint16_t reg, uint8_t value);
// Format 2: long read request for a 16-bit first register and span.
void BuildLongRead(uint8_t out[kLongReadLength], uint16_t first, uint16_t span);
// Format 3: long register write.
void BuildLongWrite(uint8_t out[kLongWriteLength], uint16_t reg, uint8_t value);
// Format 4: command message for code k (1 and 3..12).
void BuildCommand(uint8_t out[kCommandLength], uint8_t k);
// The check byte of a command message.
uint8_t CommandCheck(uint8_t k);
// Format 5: data packet of n (<= 128) bytes; returns the frame length
// (152 for n = 128). `out` must hold kMaxDataFrame bytes.
size_t BuildDataPacket(uint8_t* out, const uint8_t* data, uint8_t n);
// Format 6: register-data message (unit to host) for n (>= 1) registers
// from `start`; returns the frame length. The long form is used when the
// short one cannot say it: start above 511, bits 7..5 of start all ones, or
// more than 256 registers. `out` must hold RegisterDataLength(start, n).
size_t BuildRegisterData(uint8_t* out, uint16_t start, const uint8_t* data, uint16_t n);
size_t RegisterDataLength(uint16_t start, uint16_t n);
// Format 7: the MIDI port-pairing probe for output device `device`.
void BuildProbe(uint8_t out[kShortLength], uint16_t device);

// CRC-8 (poly 0x1D, init 0xFF, LSB first, no final XOR) of a data packet.
uint8_t PacketCrc8(const uint8_t* data, size_t n);

// Packs n 8-bit bytes as a stream of 7-bit groups, MSB first, after
// `headBits` leading bits (the data packet's four code bits 1111 use
// headBits = 4, headValue = 0xF). Writes into a zeroed `out`; returns bytes
// used, including the extra 0x00 when the data ends on a group boundary.
size_t PackBits7(uint8_t* out, const uint8_t* data, uint8_t n, int headBits = 0, uint8_t headValue = 0);
// The header of a received frame, bytes 4 on: byte 4 holds the code and,
// in the short form, the top bits of the register; the rest is 7-bit groups.
struct Header {
  uint8_t code = 0;       // bits 6..3 of byte 4
  bool longForm = false;  // low bits of byte 4 are 111, in a frame longer than 8 bytes
  uint16_t first = 0;     // register, start register, or a command's complement byte
  uint16_t span = 0;      // span or value; 8 bits in the short form
  size_t length = 0;      // bytes before the data: 7 short, 10 long

  // A register write's value: the short form's 8-bit field, or the top
  // eight bits of the long form's second field.
  uint8_t Value() const { return static_cast<uint8_t>(longForm ? span >> 8 : span); }
};
// Decodes the header of the n-byte frame `frame` (frame[0] is the 0xF0 and
// the last byte its 0xF7; the manufacturer is not looked at). Short messages
// for registers 224..255 and 480..511 carry the long-form pattern too, and
// no long form fits in 8 bytes: an 8-byte frame is always short. False when
// the frame is shorter than its form (8 bytes short, 10 long).
bool ParseHeader(const uint8_t* frame, size_t n, Header* out);
// True when the three bytes after frame[0] are our manufacturer id.
bool FromManufacturer(const uint8_t* frame, size_t n);

// Reverses the register-data 7-bit stream: reads ceil(8n/7) bytes from
// `in` (at most `inSize`), writes n bytes. Returns the 7-bit bytes used, or
// 0 when `in` is too short.
size_t UnpackBits7(uint8_t* out, size_t n, const uint8_t* in, size_t inSize);

}  // namespace codec
