#include "network/browse/browse_txt.h"

#include <cstring>

namespace {

// Decimal digits at text[*at..], at most `limit`; false when there are none
// or the number exceeds the limit (no overflow however long the digits run).
bool ReadNumber(const char* text, size_t length, size_t* at, uint32_t limit, uint32_t* out) {
  size_t start = *at;
  uint64_t value = 0;
  while (*at < length && text[*at] >= '0' && text[*at] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[*at] - '0');
    if (value > limit) return false;
    ++*at;
  }
  if (*at == start) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

bool KeyIs(const db_txt_item& item, const char* key) {
  return item.key_length == std::strlen(key) && std::memcmp(item.key, key, item.key_length) == 0;
}

// Exactly 16 hexadecimal digits into 8 bytes.
bool ParseHexId(const char* text, size_t length, aud_id* id) {
  if (length != 16) return false;
  for (size_t i = 0; i < 8; ++i) {
    int hi = aud_hex_value(text[2 * i]);
    int lo = aud_hex_value(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    id->data[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return true;
}

bool ParseProcess(const char* text, size_t length, uint16_t* process) {
  size_t at = 0;
  uint32_t value = 0;
  if (!ReadNumber(text, length, &at, 0xFFFF, &value) || at != length) return false;
  *process = static_cast<uint16_t>(value);
  return true;
}

// Four decimal bytes separated by dots, nothing else.
bool ParseFourBytes(const char* text, size_t length, uint8_t bytes[4]) {
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && (at >= length || text[at++] != '.')) return false;
    uint32_t value = 0;
    if (!ReadNumber(text, length, &at, 255, &value)) return false;
    bytes[i] = static_cast<uint8_t>(value);
  }
  return at == length;
}

}  // namespace

bool db_txt_well_formed(const uint8_t* txt, size_t length) {
  if (txt == nullptr) return length == 0;
  size_t at = 0;
  while (at < length) at += 1 + size_t{txt[at]};
  return at == length;
}

unsigned db_txt_split(const uint8_t* txt, size_t length, db_txt_item items[DB_TXT_MAX_ITEMS]) {
  if (!db_txt_well_formed(txt, length)) return 0;
  unsigned count = 0;
  for (size_t at = 0; at < length; at += 1 + size_t{txt[at]}) {
    size_t size = txt[at];
    if (size == 0) continue;
    if (count == DB_TXT_MAX_ITEMS) return 0;
    const char* text = reinterpret_cast<const char*>(txt + at + 1);
    const void* eq = std::memchr(text, '=', size);
    db_txt_item& item = items[count++];
    item.key = text;
    if (eq == nullptr) {
      item.key_length = size;
      item.value = nullptr;
      item.value_length = 0;
    } else {
      item.key_length = static_cast<size_t>(static_cast<const char*>(eq) - text);
      item.value = text + item.key_length + 1;
      item.value_length = size - item.key_length - 1;
    }
  }
  return count;
}

bool db_txt_parse_version(const char* text, size_t length, uint32_t* version) {
  static const uint32_t kLimits[3] = {0xFF, 0xFF, 0xFFFF};
  static const int kShifts[3] = {24, 16, 0};
  if (text == nullptr) return false;
  uint32_t packed = 0;
  size_t at = 0;
  int parsed = 0;
  for (; parsed < 3; ++parsed) {
    if (parsed > 0 && (at >= length || text[at++] != '.')) break;
    uint32_t value = 0;
    if (!ReadNumber(text, length, &at, kLimits[parsed], &value)) break;
    packed |= value << kShifts[parsed];
  }
  if (parsed == 0) return false;
  *version = packed;
  return true;
}

void db_media_info_from_txt(const uint8_t* txt, size_t length, db_media_info* info) {
  *info = db_media_info{};
  db_txt_item items[DB_TXT_MAX_ITEMS];
  unsigned count = db_txt_split(txt, length, items);
  // A key said twice counts the first time only.
  unsigned seen = 0;
  for (unsigned i = 0; i < count; ++i) {
    const db_txt_item& item = items[i];
    if (item.value == nullptr) continue;
    if (KeyIs(item, "arcp_vers") && !(seen & 0x01)) {
      seen |= 0x01;
      db_txt_parse_version(item.value, item.value_length, &info->arcp_version);
    } else if (KeyIs(item, "arcp_min") && !(seen & 0x02)) {
      seen |= 0x02;
      db_txt_parse_version(item.value, item.value_length, &info->arcp_min_version);
    } else if (KeyIs(item, "router_vers") && !(seen & 0x04)) {
      seen |= 0x04;
      db_txt_parse_version(item.value, item.value_length, &info->router_version);
    } else if (KeyIs(item, "router_info") && !(seen & 0x08)) {
      seen |= 0x08;
      size_t n = item.value_length < sizeof info->router_info ? item.value_length : sizeof info->router_info - 1;
      std::memcpy(info->router_info, item.value, n);
      info->router_info[n] = '\0';
    } else if (KeyIs(item, "mf") && !(seen & 0x10)) {
      seen |= 0x10;
      aud_id_from_text_length(&info->manufacturer, item.value, item.value_length);
    } else if (KeyIs(item, "model") && !(seen & 0x20)) {
      seen |= 0x20;
      aud_id_from_text_length(&info->model, item.value, item.value_length);
    }
  }
}

const char* db_conmon_info_from_txt(const uint8_t* txt, uint16_t length, db_txt_value_fn lookup,
                                    db_conmon_info* info) {
  *info = db_conmon_info{};
  // A record that runs past its end is not trusted for any key.
  if (lookup == nullptr || !db_txt_well_formed(txt, length)) return "id";
  auto value = [&](const char* key, size_t* size) -> const char* {
    uint8_t n = 0;
    const void* v = lookup(length, txt, key, &n);
    *size = n;
    return static_cast<const char*>(v);
  };
  size_t size = 0;
  const char* v = value("id", &size);
  if (v == nullptr || size == 0 || !ParseHexId(v, size, &info->device_id)) return "id";
  v = value("process", &size);
  if (v == nullptr || size == 0 || !ParseProcess(v, size, &info->process)) return "process";
  v = value("vid", &size);
  if (v != nullptr && !ParseHexId(v, size, &info->vendor_id)) return "vid";
  v = value("vba", &size);
  if (v != nullptr && !ParseFourBytes(v, size, info->vba)) return "vba";
  v = value("mf", &size);
  if (v != nullptr && !aud_id_from_text_length(&info->manufacturer, v, size)) return "mf";
  v = value("model", &size);
  if (v != nullptr && !aud_id_from_text_length(&info->model, v, size)) return "model";
  return nullptr;
}
