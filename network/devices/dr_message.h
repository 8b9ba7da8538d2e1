#pragma once
// The header every control message starts with, big-endian:
//   0  u8   version (1)
//   1  u8   kind: 1 request, 2 response
//   2  u16  length of the whole message
//   4  u16  sequence number (a response repeats its request's)
//   6  u16  opcode
#include <cstddef>
#include <cstdint>

inline constexpr size_t DR_MESSAGE_HEADER_SIZE = 8;
inline constexpr size_t DR_MESSAGE_MAX = 1400;  // the largest datagram read
inline constexpr uint8_t DR_MESSAGE_VERSION = 1;

enum dr_message_kind : uint8_t {
  DR_MESSAGE_REQUEST = 1,
  DR_MESSAGE_RESPONSE = 2,
};

struct dr_message_header {
  dr_message_kind kind;
  uint16_t length;
  uint16_t seqnum;
  uint16_t opcode;
};

// False when `data` is shorter than a header, its length field disagrees
// with `length`, or version or kind are unknown.
bool dr_message_read_header(const uint8_t* data, size_t length, dr_message_header* out);
// Writes the header into `out` (DR_MESSAGE_HEADER_SIZE bytes).
void dr_message_write_header(const dr_message_header& header, uint8_t* out);
