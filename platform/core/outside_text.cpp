#include "platform/core/outside_text.h"

#include <cstdint>

namespace {

void AppendHex(std::string& out, unsigned char byte) {
  static const char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0xF];
}

// Length of the well-formed UTF-8 sequence at `i` (2 to 4 bytes), 0 when
// there is none or it encodes a C1 control (U+0080..U+009F), which some
// terminals obey as an escape.
size_t Utf8Sequence(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not text.
  static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  if (code <= 0x9F) return 0;
  return length;
}

}  // namespace

std::string EscapeOutsideText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (size_t n = c >= 0x80 ? Utf8Sequence(text, i) : 0; n > 0) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    } else {
      AppendHex(out, c);
    }
    ++i;
  }
  return out;
}
