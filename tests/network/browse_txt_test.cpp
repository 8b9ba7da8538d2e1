// Reading device TXT records on records built byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/browse/browse_txt.h"
#include "network/dnssd/dns_sd.h"
#include "network/dnssd/dns_writer.h"

namespace {

std::string Id(const aud_id& id) { return std::string(reinterpret_cast<const char*>(id.data), 8); }

TEST(BrowseTxt, BrokenOrOverfullRecordsYieldNoKeysAtAll) {
  db_txt_item items[DB_TXT_MAX_ITEMS];
  // Empty strings are skipped; the key ends at the first "=".
  std::vector<uint8_t> txt = {0, 1, 'b', 5, 'c', '=', 'x', '=', 'y'};
  ASSERT_EQ(db_txt_split(txt.data(), txt.size(), items), 2u);
  EXPECT_EQ(items[0].value, nullptr);
  EXPECT_EQ(std::string(items[1].value, items[1].value_length), "x=y");
  // A string running past the end, even by one byte, spoils the record.
  std::vector<uint8_t> past = {3, 'a', '=', '1', 4, 'b', '=', '2'};
  EXPECT_EQ(db_txt_split(past.data(), past.size(), items), 0u);
  std::vector<std::string> strings;
  for (int i = 0; i < 33; ++i) strings.push_back("k" + std::to_string(i) + "=v");
  std::vector<uint8_t> many = mdns::MakeTxt(strings);
  EXPECT_EQ(db_txt_split(many.data(), many.size(), items), 0u);
  strings.pop_back();
  many = mdns::MakeTxt(strings);
  EXPECT_EQ(db_txt_split(many.data(), many.size(), items), 32u);
}

TEST(BrowseTxt, MediaKeysAreExactTheFirstCountsAndBadValuesAreIgnored) {
  std::string info(70, 'r');
  auto txt = mdns::MakeTxt({"ARCP_VERS=9.9.9", "arcp_vers=2.8.1", "arcp_vers=3.0.0", "arcp_min=1", "router_vers=4.x",
                            "router_info=" + info, "mf=Zelk", "model=_0102", "other=1", "novalue"});
  db_media_info m;
  db_media_info_from_txt(txt.data(), txt.size(), &m);
  EXPECT_EQ(m.arcp_version, 0x02080001u);
  EXPECT_EQ(m.arcp_min_version, 0x01000000u);
  EXPECT_EQ(m.router_version, 0x04000000u);
  EXPECT_EQ(std::string(m.router_info), info.substr(0, 63));
  EXPECT_EQ(Id(m.manufacturer), std::string("Zelk\0\0\0\0", 8));
  EXPECT_EQ(Id(m.model), std::string("\x01\x02\0\0\0\0\0\0", 8));

  auto bad = mdns::MakeTxt({"mf=NineChars", "model=_123", "arcp_vers=256.1.1", "arcp_min=v1"});
  db_media_info_from_txt(bad.data(), bad.size(), &m);
  EXPECT_EQ(Id(m.manufacturer) + Id(m.model), std::string(16, '\0'));
  EXPECT_EQ(m.arcp_version | m.arcp_min_version, 0u);
}

TEST(BrowseTxt, ConmonNeedsIdAndProcessAndRefusesBrokenOptionalKeys) {
  const std::string id = "id=0011223344556677";
  struct Case {
    std::vector<std::string> strings;
    const char* broken;  // null: accepted
  } cases[] = {
      {{id, "process=0"}, nullptr},
      {{id, "process=65535", "vid=A1B2C3D4E5F60718", "vba=1.2.3.4", "mf=Zelk", "model=_0a"}, nullptr},
      {{"process=0"}, "id"},
      {{"id=", "process=0"}, "id"},
      {{"id=00112233445566zz", "process=0"}, "id"},
      {{id}, "process"},
      {{id, "process="}, "process"},
      {{id, "process=65536"}, "process"},
      {{id, "process=12a"}, "process"},
      {{id, "process=0", "vid=0011"}, "vid"},
      {{id, "process=0", "vba=1.2.3"}, "vba"},
      {{id, "process=0", "vba=1.2.3.256"}, "vba"},
      {{id, "process=0", "mf=NineChars"}, "mf"},
      {{id, "process=0", "model=_1"}, "model"},
  };
  db_conmon_info info;
  for (const Case& c : cases) {
    std::vector<uint8_t> txt = mdns::MakeTxt(c.strings);
    EXPECT_STREQ(db_conmon_info_from_txt(txt.data(), static_cast<uint16_t>(txt.size()), TXTRecordGetValuePtr, &info),
                 c.broken)
        << c.strings.back();
  }
  // Nothing before the break of a record running past its end counts.
  auto full = mdns::MakeTxt({id, "process=513", "vba=10.0.200.255"});
  ASSERT_EQ(db_conmon_info_from_txt(full.data(), static_cast<uint16_t>(full.size()), TXTRecordGetValuePtr, &info),
            nullptr);
  EXPECT_EQ(Id(info.device_id), std::string("\x00\x11\x22\x33\x44\x55\x66\x77", 8));
  EXPECT_EQ(info.process, 513);
  EXPECT_EQ(info.vba[2], 200);
  full.push_back(9);
  EXPECT_STREQ(db_conmon_info_from_txt(full.data(), static_cast<uint16_t>(full.size()), TXTRecordGetValuePtr, &info),
               "id");
}

}  // namespace
