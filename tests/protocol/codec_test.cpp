#include "protocol/codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(std::initializer_list<uint8_t> body) {
  Bytes b;
  b.reserve(body.size() + 5);
  for (uint8_t v : {0xF0, 0x00, 0x01, 0x54}) b.push_back(v);
  for (uint8_t v : body) b.push_back(v);
  b.push_back(0xF7);
  return b;
}

TEST(Codec, ShortReadOfIdentityBlock) {
  uint8_t out[codec::kShortLength];
  codec::BuildShort(out, codec::kRead, 1, 23);
  EXPECT_EQ(Bytes(out, out + 8), Frame({0x68, 0x04, 0x2E}));
}

TEST(Codec, ShortWriteCarriesRegisterBitEight) {
  uint8_t out[codec::kShortLength];
  codec::BuildShort(out, codec::kWrite, 0x1FF, 0xFF);
  EXPECT_EQ(Bytes(out, out + 8), Frame({0x07, 0x7F, 0x7F}));
  codec::BuildShort(out, codec::kWrite, 52, 0x4B);
  EXPECT_EQ(Bytes(out, out + 8), Frame({0x01, 0x51, 0x16}));
}

TEST(Codec, LongReadOfUpperHalf) {
  uint8_t out[codec::kLongReadLength];
  codec::BuildLongRead(out, 1024, 1023);
  EXPECT_EQ(Bytes(out, out + 11), Frame({0x6F, 0x02, 0x00, 0x00, 0x3F, 0x78}));
}

TEST(Codec, LongWriteSplitsValue) {
  uint8_t out[codec::kLongWriteLength];
  codec::BuildLongWrite(out, 1024 + 33, 0xAB);
  // 1057 = 0b100_0010_0001: high 0x02, middle 0x08, low two bits 01.
  EXPECT_EQ(Bytes(out, out + 10), Frame({0x07, 0x02, 0x08, 0x20 | (0xAB >> 3), (0xAB & 7) << 4}));
}

struct CommandRow {
  uint8_t k, d, x, b4, b5, b6;
};

TEST(Codec, CommandMessagesMatchTable) {
  const CommandRow rows[] = {
      {1, 0xEE, 0x63, 0x0F, 0x39, 0x46},  {3, 0xCC, 0x57, 0x1E, 0x31, 0x2E},  {4, 0xBB, 0x91, 0x25, 0x6E, 0x22},
      {5, 0xAA, 0xF9, 0x2D, 0x2B, 0x72},  {6, 0x99, 0xA5, 0x34, 0x66, 0x4A},  {7, 0x88, 0xCD, 0x3C, 0x23, 0x1A},
      {8, 0x77, 0xC6, 0x43, 0x5F, 0x0C},  {9, 0x66, 0xAE, 0x4B, 0x1A, 0x5C},  {10, 0x55, 0xF2, 0x52, 0x57, 0x64},
      {11, 0x44, 0x9A, 0x5A, 0x12, 0x34}, {12, 0x33, 0x5C, 0x61, 0x4D, 0x38},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(int(r.k));
    EXPECT_EQ(codec::CommandCheck(r.k), r.x);
    uint8_t out[codec::kCommandLength];
    codec::BuildCommand(out, r.k);
    EXPECT_EQ(Bytes(out, out + 8), Frame({r.b4, r.b5, r.b6}));
  }
}

TEST(Codec, PacketCrc) {
  const std::string abc = "abc";
  EXPECT_EQ(codec::PacketCrc8(reinterpret_cast<const uint8_t*>(abc.data()), 3), 0xEF);
  Bytes zeros(128, 0x00), ones(128, 0xFF);
  EXPECT_EQ(codec::PacketCrc8(zeros.data(), 128), 0x4B);
  EXPECT_EQ(codec::PacketCrc8(ones.data(), 128), 0xF0);
}

TEST(Codec, DataPacketLengthsFollowGroupFormula) {
  uint8_t data[128];
  for (int i = 0; i < 128; ++i) data[i] = uint8_t(i * 37 + 11);
  for (int n = 1; n <= 128; ++n) {
    SCOPED_TRACE(n);
    uint8_t out[codec::kMaxDataFrame + 8] = {};
    const size_t len = codec::BuildDataPacket(out, data, uint8_t(n));
    EXPECT_EQ(len, size_t((8 * n - 3) / 7 + 2 + 5));
    EXPECT_EQ(out[4], 0x78 | (data[0] >> 5));
    EXPECT_EQ(out[len - 1], 0xF7);
    for (size_t i = 4; i + 1 < len; ++i) EXPECT_LT(out[i], 0x80);
    // Skip the four code bits and read the data back.
    Bytes bits;
    for (size_t i = 4; i + 1 < len; ++i)
      for (int b = 6; b >= 0; --b) bits.push_back((out[i] >> b) & 1);
    for (int i = 0; i < n; ++i) {
      uint8_t v = 0;
      for (int b = 0; b < 8; ++b) v = uint8_t(v << 1 | bits[4 + 8 * i + b]);
      ASSERT_EQ(v, data[i]);
    }
  }
  uint8_t out[codec::kMaxDataFrame];
  EXPECT_EQ(codec::BuildDataPacket(out, data, 128), 152u);
}

TEST(Codec, ThreeBytePacketEndsWithExtraZero) {
  const uint8_t data[3] = {0xFF, 0xFF, 0xFF};
  uint8_t out[codec::kMaxDataFrame] = {};
  const size_t len = codec::BuildDataPacket(out, data, 3);
  // 4 + 24 bits fill exactly four groups; a fifth, empty one follows.
  EXPECT_EQ(Bytes(out, out + len), Frame({0x7F, 0x7F, 0x7F, 0x7F, 0x00}));
}

TEST(Codec, RegisterDataRoundTrip) {
  struct Case {
    uint16_t start, n;
    size_t length;
  };
  const Case cases[] = {{9, 1, 10}, {128, 128, 155}, {1, 24, 7 + 28 + 1}, {224, 4, 10 + 5 + 1},
                        {1024, 1024, 10 + 1171 + 1}, {600, 7, 10 + 8 + 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    Bytes data(c.n);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 91 + c.start);
    Bytes out(codec::RegisterDataLength(c.start, c.n));
    ASSERT_EQ(out.size(), c.length);
    ASSERT_EQ(codec::BuildRegisterData(out.data(), c.start, data.data(), c.n), c.length);
    EXPECT_EQ(out.back(), 0xF7);
    const size_t header = (out[4] & 7) == 7 ? 10 : 7;
    Bytes back(c.n);
    EXPECT_EQ(codec::UnpackBits7(back.data(), c.n, out.data() + header, out.size() - header - 1),
              out.size() - header - 1);
    EXPECT_EQ(back, data);
  }
  const uint8_t zero = 0;
  uint8_t out[10];
  codec::BuildRegisterData(out, 9, &zero, 1);
  EXPECT_EQ(Bytes(out, out + 10), Frame({0x70, 0x24, 0x00, 0x00, 0x00}));
}

TEST(Codec, UnpackRefusesShortInput) {
  uint8_t in[3] = {0x7F, 0x7F, 0x7F};
  uint8_t out[4];
  EXPECT_EQ(codec::UnpackBits7(out, 4, in, 3), 0u);  // needs 5
  EXPECT_EQ(codec::UnpackBits7(out, 2, in, 3), 3u);
  EXPECT_EQ(out[0], 0xFF);
}

TEST(Codec, ProbeNamesRegisterOfOutputDevice) {
  uint8_t out[codec::kShortLength];
  codec::BuildProbe(out, 5);
  EXPECT_EQ(Bytes(out, out + 8), Frame({0x6A, 0x14, 0x00}));
  codec::BuildProbe(out, 0);
  EXPECT_EQ(Bytes(out, out + 8), Frame({0x6A, 0x00, 0x00}));
}

}  // namespace
