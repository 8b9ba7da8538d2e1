// Reading DNS messages nobody vouches for, writing our own, and the cache.
#include <gtest/gtest.h>

#include <cstring>

#include "network/dnssd/dns_message.h"
#include "network/dnssd/dns_sd.h"
#include "network/dnssd/dns_writer.h"
#include "network/dnssd/record_cache.h"

namespace {

using namespace mdns;

Name N(const char* text) {
  Name n;
  EXPECT_TRUE(NameFromText(text, n)) << text;
  return n;
}

std::vector<uint8_t> SampleResponse() {
  MessageWriter w(kFlagResponse, 9000);
  w.AddPtr(Section::Answer, N("_netaudio-arc._udp.local"), 4500, N("Unit 1._netaudio-arc._udp.local"));
  w.AddSrv(Section::Additional, N("Unit 1._netaudio-arc._udp.local"), 120, 4440, N("unit-1.local"));
  w.AddTxt(Section::Additional, N("Unit 1._netaudio-arc._udp.local"), 4500, MakeTxt({"arcp_vers=2.8.1", "mf=Zelk"}));
  w.AddA(Section::Additional, N("unit-1.local"), 120, 0x0A00A8C0);
  return w.Finish();
}

TEST(DnsMessage, WhatTheWriterWritesTheReaderReads) {
  std::vector<uint8_t> d = SampleResponse();
  Message m;
  ASSERT_TRUE(ParseMessage(d.data(), d.size(), m));
  EXPECT_TRUE(m.IsResponse());
  ASSERT_EQ(m.records.size(), 4u);
  EXPECT_EQ(NameToText(m.records[0].target), "Unit\\0321._netaudio-arc._udp.local.");
  EXPECT_EQ(m.records[1].port, 4440);
  EXPECT_TRUE(m.records[1].cacheFlush);
  EXPECT_EQ(m.records[1].section, Section::Additional);
  EXPECT_EQ(NameToText(m.records[1].target), "unit-1.local.");
  EXPECT_EQ(m.records[2].rdata, MakeTxt({"arcp_vers=2.8.1", "mf=Zelk"}));
  EXPECT_EQ(m.records[3].rdata, (std::vector<uint8_t>{0xC0, 0xA8, 0x00, 0x0A}));
}

TEST(DnsMessage, EveryTruncationIsReadSafelyAndKeepsOnlyWholeRecords) {
  std::vector<uint8_t> d = SampleResponse();
  Message whole;
  ParseMessage(d.data(), d.size(), whole);
  for (size_t cut = 0; cut < d.size(); ++cut) {
    std::vector<uint8_t> part(d.begin(), d.begin() + static_cast<long>(cut));  // exact size: ASan sees overreads
    Message m;
    bool ok = ParseMessage(part.data(), part.size(), m);
    EXPECT_EQ(ok, cut >= 12) << cut;
    ASSERT_LT(m.records.size(), whole.records.size()) << cut;
    for (size_t i = 0; i < m.records.size(); ++i) EXPECT_EQ(m.records[i].rdata, whole.records[i].rdata) << cut;
  }
}

std::vector<uint8_t> Header(uint16_t answers) { return {0, 0, 0x84, 0, 0, 0, static_cast<uint8_t>(answers >> 8), static_cast<uint8_t>(answers), 0, 0, 0, 0}; }

TEST(DnsMessage, HostileNamesAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> name;
  };
  std::vector<uint8_t> longName;
  for (int i = 0; i < 5; ++i) {
    longName.push_back(60);
    longName.insert(longName.end(), 60, 'a');
  }
  longName.push_back(0);
  const Case cases[] = {
      {"pointer to itself", {0xC0, 12}},
      {"pointer forward", {0xC0, 14, 0}},
      {"pointer past the end", {0xC0, 0xFF}},
      {"reserved label kind", {0x40, 'a', 0}},
      {"label past the end", {5, 'a', 'b'}},
      {"no terminating zero", {1, 'a'}},
      {"name over 255 bytes", longName},
      {"zero byte inside a label", {3, 'a', 0, 'b', 0}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> d = Header(1);
    d.insert(d.end(), c.name.begin(), c.name.end());
    std::vector<uint8_t> rest = {0, 1, 0, 1, 0, 0, 0, 120, 0, 4, 1, 2, 3, 4};
    d.insert(d.end(), rest.begin(), rest.end());
    Message m;
    ParseMessage(d.data(), d.size(), m);
    EXPECT_TRUE(m.records.empty()) << c.what;
  }
}

TEST(DnsMessage, ACompressionChainThatOnlyGoesBackIsFollowed) {
  // The first record is named "local" (at offset 12); the second's name
  // is "a.b" followed by a pointer back to it.
  std::vector<uint8_t> d = Header(2);
  std::vector<uint8_t> r1 = {5, 'l', 'o', 'c', 'a', 'l', 0, 0, 1, 0, 1, 0, 0, 0, 9, 0, 4, 1, 1, 1, 1};
  std::vector<uint8_t> r2 = {1, 'a', 1, 'b', 0xC0, 12, 0, 1, 0, 1, 0, 0, 0, 9, 0, 4, 2, 2, 2, 2};
  d.insert(d.end(), r1.begin(), r1.end());
  d.insert(d.end(), r2.begin(), r2.end());
  Message m;
  ASSERT_TRUE(ParseMessage(d.data(), d.size(), m));
  ASSERT_EQ(m.records.size(), 2u);
  EXPECT_EQ(NameToText(m.records[1].name), "a.b.local.");
}

TEST(DnsMessage, RecordsWhoseDataDoesNotFitTheirTypeAreSkippedButTheRestIsRead) {
  std::vector<uint8_t> d = Header(3);
  std::vector<uint8_t> badA = {1, 'x', 0, 0, 1, 0, 1, 0, 0, 0, 9, 0, 3, 1, 2, 3};                  // A of 3 bytes
  std::vector<uint8_t> badSrv = {1, 'y', 0, 0, 33, 0, 1, 0, 0, 0, 9, 0, 6, 0, 0, 0, 0, 0, 80};     // no target
  std::vector<uint8_t> goodA = {1, 'z', 0, 0, 1, 0, 1, 0, 0, 0, 9, 0, 4, 9, 9, 9, 9};
  for (auto* r : {&badA, &badSrv, &goodA}) d.insert(d.end(), r->begin(), r->end());
  Message m;
  ASSERT_TRUE(ParseMessage(d.data(), d.size(), m));
  ASSERT_EQ(m.records.size(), 1u);
  EXPECT_EQ(NameToText(m.records[0].name), "z.");
}

TEST(DnsName, TextFormRoundTripsWithEscapes) {
  const char* texts[] = {"a\\.b.c.", "back\\\\slash.local.", "sp\\032ace.local.", "_x._udp.local."};
  for (const char* t : texts) {
    Name n;
    ASSERT_TRUE(NameFromText(t, n)) << t;
    EXPECT_EQ(NameToText(n), t);
  }
  Name n;
  const std::string bad[] = {"", "a..b", "a\\", "a\\25", "a\\999", std::string(64, 'x'), std::string(130, 'a') + std::string(130, '.')};
  for (const std::string& b : bad) {
    EXPECT_FALSE(NameFromText(b, n)) << b;
  }
}

TEST(TxtRecord, KeysAndValues) {
  std::vector<uint8_t> txt = MakeTxt({"id=0011", "Process=7", "flag", "empty=", "a=b=c"});
  const auto len = static_cast<uint16_t>(txt.size());
  struct Case {
    const char* key;
    bool present;
    const char* value;  // null: no value pointer
  };
  const Case cases[] = {{"id", true, "0011"},   {"process", true, "7"}, {"flag", true, nullptr},
                        {"empty", true, ""},    {"a", true, "b=c"},     {"missing", false, nullptr},
                        {"i", false, nullptr}};
  for (const Case& c : cases) {
    EXPECT_EQ(TXTRecordContainsKey(len, txt.data(), c.key) != 0, c.present) << c.key;
    uint8_t vlen = 0xEE;
    const void* v = TXTRecordGetValuePtr(len, txt.data(), c.key, &vlen);
    if (c.value == nullptr) {
      EXPECT_EQ(v, nullptr) << c.key;
    } else {
      ASSERT_NE(v, nullptr) << c.key;
      EXPECT_EQ(std::string(static_cast<const char*>(v), vlen), c.value) << c.key;
    }
  }
  // A string claiming more bytes than the record holds ends the search.
  std::vector<uint8_t> lying = {3, 'a', '=', '1', 40, 'b', '=', '2'};
  EXPECT_EQ(TXTRecordContainsKey(static_cast<uint16_t>(lying.size()), lying.data(), "a"), 1);
  EXPECT_EQ(TXTRecordContainsKey(static_cast<uint16_t>(lying.size()), lying.data(), "b"), 0);
  EXPECT_EQ(TXTRecordGetValuePtr(0, nullptr, "a", nullptr), nullptr);
}

TEST(FullName, EscapedInstanceTypeAndDomain) {
  char full[kDNSServiceMaxDomainName];
  ASSERT_EQ(DNSServiceConstructFullName(full, "Orvella(n) 5.1", "_netaudio-arc._udp.", "local"), kDNSServiceErr_NoError);
  EXPECT_STREQ(full, "Orvella(n)\\0325\\.1._netaudio-arc._udp.local.");
  ASSERT_EQ(DNSServiceConstructFullName(full, nullptr, "_a._tcp", "local."), kDNSServiceErr_NoError);
  EXPECT_STREQ(full, "_a._tcp.local.");
  EXPECT_EQ(DNSServiceConstructFullName(full, std::string(64, 'x').c_str(), "_a._tcp", "local"), kDNSServiceErr_BadParam);
}

Record Ptr(const char* target, uint32_t ttl, bool flush = false) {
  Record r;
  r.name = N("_s._udp.local");
  r.type = kTypePtr;
  r.klass = kClassIn;
  r.ttl = ttl;
  r.cacheFlush = flush;
  r.target = N(target);
  return r;
}

TEST(RecordCache, AddRefreshGoodbyeExpiryAndInterfaces) {
  RecordCache cache;
  RecordCache::Changes c;
  cache.Store(Ptr("a._s._udp.local", 10), 1, 0, c);
  cache.Store(Ptr("a._s._udp.local", 10), 1, 500, c);  // a refresh is not news
  cache.Store(Ptr("a._s._udp.local", 10), 2, 500, c);  // the same on another interface is
  EXPECT_EQ(c.added.size(), 2u);
  EXPECT_EQ(cache.NextExpiry(), 10500);  // the refresh moved interface 1's expiry
  cache.Expire(10000, c);
  EXPECT_TRUE(c.removed.empty());
  cache.Store(Ptr("a._s._udp.local", 0), 2, 600, c);  // goodbye on interface 2 only
  ASSERT_EQ(c.removed.size(), 1u);
  EXPECT_EQ(c.removed[0].interface, 2u);
  cache.Expire(10500, c);
  EXPECT_EQ(c.removed.size(), 2u);
  EXPECT_TRUE(cache.entries().empty());
}

TEST(RecordCache, CacheFlushReplacesOnlyRecordsOlderThanASecond) {
  RecordCache cache;
  RecordCache::Changes c;
  Record a;
  a.name = N("host.local");
  a.type = kTypeA;
  a.klass = kClassIn;
  a.ttl = 120;
  a.cacheFlush = true;
  a.rdata = {1, 1, 1, 1};
  cache.Store(a, 1, 0, c);
  Record b = a;
  b.rdata = {2, 2, 2, 2};
  cache.Store(b, 1, 500, c);  // same burst: both kept
  EXPECT_EQ(cache.entries().size(), 2u);
  Record d = a;
  d.rdata = {3, 3, 3, 3};
  cache.Store(d, 1, 5000, c);  // later: the old ones go
  EXPECT_EQ(cache.entries().size(), 1u);
  EXPECT_EQ(c.removed.size(), 2u);
}

TEST(RecordCache, ReconfirmDropsThePointersToAnInstance) {
  RecordCache cache;
  RecordCache::Changes c;
  cache.Store(Ptr("a._s._udp.local", 100), 1, 0, c);
  cache.Store(Ptr("b._s._udp.local", 100), 1, 0, c);
  RecordCache::Changes d;
  cache.Drop(N("a._s._udp.local"), kTypePtr, 0, d);
  ASSERT_EQ(d.removed.size(), 1u);
  EXPECT_EQ(NameToText(d.removed[0].record.target), "a._s._udp.local.");
  EXPECT_EQ(cache.entries().size(), 1u);
}

}  // namespace
