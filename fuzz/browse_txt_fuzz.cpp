// The browse object's readers of outside input: TXT records of media and
// conmon devices, version numbers, and identifiers in their text form. The
// input is copied into a buffer of exactly its size, so any read past it is
// caught; the checks below are the rules every caller relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "network/aud_types.h"
#include "network/browse/browse_txt.h"
#include "network/dnssd/dns_sd.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(const std::vector<uint8_t>& buffer, const char* p, size_t n) {
  auto* begin = reinterpret_cast<const char*>(buffer.data());
  return p >= begin && p + n <= begin + buffer.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> txt(data, data + size);

  db_txt_item items[DB_TXT_MAX_ITEMS];
  unsigned count = db_txt_split(txt.data(), txt.size(), items);
  Require(count <= DB_TXT_MAX_ITEMS);
  Require(count == 0 || db_txt_well_formed(txt.data(), txt.size()));
  for (unsigned i = 0; i < count; ++i) {
    Require(items[i].key_length > 0 || items[i].value != nullptr);
    Require(Inside(txt, items[i].key, items[i].key_length));
    Require(std::memchr(items[i].key, '=', items[i].key_length) == nullptr);
    if (items[i].value != nullptr) Require(Inside(txt, items[i].value, items[i].value_length));
  }

  db_media_info media;
  db_media_info_from_txt(txt.data(), txt.size(), &media);
  Require(std::memchr(media.router_info, '\0', sizeof media.router_info) != nullptr);

  if (size <= 0xFFFF) {
    db_conmon_info conmon;
    const char* broken =
        db_conmon_info_from_txt(txt.data(), static_cast<uint16_t>(size), TXTRecordGetValuePtr, &conmon);
    if (broken == nullptr) {
      Require(db_txt_well_formed(txt.data(), txt.size()));
      Require(TXTRecordContainsKey(static_cast<uint16_t>(size), txt.data(), "id"));
    }
  }

  // The same bytes as text of an explicit length.
  const char* text = reinterpret_cast<const char*>(txt.data());
  uint32_t version = 0;
  db_txt_parse_version(text, size, &version);
  aud_id id;
  if (aud_id_from_text_length(&id, text, size)) {
    // A valid id prints and reads back as itself.
    char printed[AUD_ID_TEXT_SIZE];
    aud_id_to_text(&id, printed);
    Require(std::strlen(printed) < AUD_ID_TEXT_SIZE);
    aud_id again;
    Require(aud_id_from_text(&again, printed));
    Require(std::memcmp(id.data, again.data, sizeof id.data) == 0);
  }
  return 0;
}
