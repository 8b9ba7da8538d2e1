#pragma once
// Reading the TXT records of device services into their fields. Pure
// functions over bytes that came off the network: nothing here keeps
// state, and nothing reads outside the record it is given.
#include <cstddef>
#include <cstdint>

#include "network/browse/db_browse.h"

inline constexpr unsigned DB_TXT_MAX_ITEMS = 32;

// One "key=value" string of a TXT record, pointing into the record.
struct db_txt_item {
  const char* key;
  size_t key_length;
  const char* value;  // null for a string without "="
  size_t value_length;
};

// True when every length-prefixed string ends inside the record.
bool db_txt_well_formed(const uint8_t* txt, size_t length);

// Splits the record into its non-empty strings, the key ending at the first
// "=". Returns how many were found; 0 (no keys at all) when a string runs
// past the end or there are more than DB_TXT_MAX_ITEMS.
unsigned db_txt_split(const uint8_t* txt, size_t length, db_txt_item items[DB_TXT_MAX_ITEMS]);

// "major.minor.patch" of decimal numbers into major << 24 | minor << 16 |
// patch; trailing parts may be missing. False when not even the first
// number is there.
bool db_txt_parse_version(const char* text, size_t length, uint32_t* version);

// The media device fields; keys are compared exactly, unknown keys ignored,
// missing or unparsable ones leave their field zero.
void db_media_info_from_txt(const uint8_t* txt, size_t length, db_media_info* info);

// Looks a key's value up in a TXT record, as TXTRecordGetValuePtr does.
using db_txt_value_fn = const void* (*)(uint16_t txtLen, const void* txtRecord, const char* key,
                                        uint8_t* valueLen);

// The conmon device fields, each key looked up with `lookup`. "id" (16 hex
// digits) and "process" (decimal, 16 bits) are required; "vid", "vba",
// "mf" and "model" must be well formed when present. Returns null when the
// record is accepted, else the key that was missing or broken (a record
// running past its end has no keys, so "id").
const char* db_conmon_info_from_txt(const uint8_t* txt, uint16_t length, db_txt_value_fn lookup,
                                    db_conmon_info* info);
