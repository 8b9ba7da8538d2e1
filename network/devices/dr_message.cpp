#include "network/devices/dr_message.h"

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

void Write16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

}  // namespace

bool dr_message_read_header(const uint8_t* data, size_t length, dr_message_header* out) {
  if (data == nullptr || length < DR_MESSAGE_HEADER_SIZE || data[0] != DR_MESSAGE_VERSION) return false;
  if (data[1] != DR_MESSAGE_REQUEST && data[1] != DR_MESSAGE_RESPONSE) return false;
  if (Read16(data + 2) != length) return false;
  out->kind = static_cast<dr_message_kind>(data[1]);
  out->length = Read16(data + 2);
  out->seqnum = Read16(data + 4);
  out->opcode = Read16(data + 6);
  return true;
}

void dr_message_write_header(const dr_message_header& header, uint8_t* out) {
  out[0] = DR_MESSAGE_VERSION;
  out[1] = header.kind;
  Write16(out + 2, header.length);
  Write16(out + 4, header.seqnum);
  Write16(out + 6, header.opcode);
}
