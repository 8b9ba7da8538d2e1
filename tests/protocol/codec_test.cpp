#include "protocol/codec.h"

#include <gtest/gtest.h>

#include "tests/support/frame_oracle.h"

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

struct HeaderRow {
  Bytes frame;
  uint8_t code;
  bool longForm;
  uint16_t first, second;  // second: span, or a write's or command's value
  size_t length;
};

// The wire examples, plus the cases the layout makes tricky: a short read
// of register 230 carries the long-form pattern, a short write register
// bit 8, a long write its value where a read has its span.
TEST(Codec, ParseHeaderReadsTheWireExamples) {
  const HeaderRow rows[] = {
      {Frame({0x68, 0x04, 0x2E}), codec::kRead, false, 1, 23, 7},
      {Frame({0x6F, 0x02, 0x00, 0x00, 0x3F, 0x78}), codec::kRead, true, 1024, 1023, 10},
      {Frame({0x61, 0x4D, 0x38}), codec::kPrepare, false, 0x33, 0x5C, 7},
      {Frame({0x70, 0x24, 0x00, 0x00, 0x00}), codec::kRegisterData, false, 9, 0, 7},
      {Frame({0x6F, 0x18, 0x06}), codec::kRead, false, 230, 3, 7},
      {Frame({0x07, 0x7F, 0x7F}), codec::kWrite, false, 0x1FF, 0xFF, 7},
      {Frame({0x07, 0x02, 0x08, 0x20 | (0xAB >> 3), (0xAB & 7) << 4}), codec::kWrite, true, 1057, 0xAB, 10},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.frame));
    codec::Header h;
    ASSERT_TRUE(codec::ParseHeader(r.frame.data(), r.frame.size(), &h));
    EXPECT_EQ(h.code, r.code);
    EXPECT_EQ(h.longForm, r.longForm);
    EXPECT_EQ(h.first, r.first);
    EXPECT_EQ(r.code == codec::kWrite ? h.Value() : h.span, r.second);
    EXPECT_EQ(h.length, r.length);
    // The tests' own reading of the bits agrees.
    const frame_oracle::Fields o = frame_oracle::Read(r.frame);
    EXPECT_EQ(o.code, r.code);
    EXPECT_EQ(o.first, r.first);
    EXPECT_EQ(o.second, r.second);
  }
  codec::Header h;
  const Bytes tooShort = {0xF0, 0x00, 0x01, 0x54, 0x68, 0x04, 0xF7};
  EXPECT_FALSE(codec::ParseHeader(tooShort.data(), tooShort.size(), &h));
  const Bytes longCut = Frame({0x77, 0x02, 0x00, 0x00});
  EXPECT_FALSE(codec::ParseHeader(longCut.data(), longCut.size(), &h));
}

// Every start register and a spread of counts, both forms: the header the
// codec reads back is the one the bits say.
TEST(Codec, ParseHeaderAgreesWithTheBitsForEveryStart) {
  Bytes data(1024, 0x5A);
  for (uint16_t start = 0; start < 2048; ++start) {
    for (uint16_t n : {uint16_t(1), uint16_t(2), uint16_t(129), uint16_t(256), uint16_t(257), uint16_t(1024)}) {
      if (n == 1024 && start % 64 != 0) continue;  // the long stream costs time; its header does not vary
      Bytes f(codec::RegisterDataLength(start, n));
      codec::BuildRegisterData(f.data(), start, data.data(), n);
      codec::Header h;
      ASSERT_TRUE(codec::ParseHeader(f.data(), f.size(), &h)) << start << " " << n;
      const frame_oracle::Fields o = frame_oracle::Read(f);
      ASSERT_EQ(h.first, start);
      ASSERT_EQ(o.first, start);
      ASSERT_EQ(h.span, n - 1);
      ASSERT_EQ(o.second, n - 1);
      ASSERT_EQ(h.length, o.dataOffset);
      ASSERT_EQ(frame_oracle::Data(f.data(), f.size(), o.dataOffset, n), Bytes(data.begin(), data.begin() + n));
    }
  }
}

}  // namespace
