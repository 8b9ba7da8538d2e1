// The resource table and the SZDD expansion (the file layer itself:
// system_files_test.cpp and its twins).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/digest.h"
#include "platform/files/files.h"
#include "platform/files/resources.h"
#include "platform/files/szdd.h"
#include "tests/platform/scratch_folder.h"
#include "tests/support/faulty_files.h"

namespace {

using namespace tests;

// SZDD encoder for test data: literals, plus a back reference wherever the
// last `run` bytes repeat, so both kinds of token are decoded.
Bytes Szdd(const Bytes& plain, uint32_t promisedLength) {
  Bytes out = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0};
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(promisedLength >> (8 * i)));
  // The decoder's window starts filled with blanks, writing at 4096 - 16.
  size_t at = 0;
  while (at < plain.size()) {
    size_t control = out.size();
    out.push_back(0);
    for (int bit = 0; bit < 8 && at < plain.size(); ++bit) {
      // A match of 3..18 bytes exactly 8 back, when there is one.
      size_t len = 0;
      while (at >= 8 && at + len < plain.size() && len < 18 && plain[at + len] == plain[at + len - 8]) ++len;
      if (len >= 3) {
        uint32_t pos = static_cast<uint32_t>((4096 - 16 + at - 8) & 0xFFF);
        out.push_back(static_cast<uint8_t>(pos));
        out.push_back(static_cast<uint8_t>(((pos >> 4) & 0xF0) | (len - 3)));
        at += len;
      } else {
        out[control] |= static_cast<uint8_t>(1 << bit);
        out.push_back(plain[at++]);
      }
    }
  }
  return out;
}

Bytes Sample(size_t size) {
  Bytes plain(size);
  // Stretches that repeat every 8 bytes alternate with ones that do not.
  for (size_t i = 0; i < size; ++i) {
    plain[i] = (i / 32) % 2 ? "ABCDEFGH"[i % 8] : static_cast<uint8_t>((i * 2654435761u) >> 13);
  }
  return plain;
}

using test_support::FaultyFiles;

// ------------------------------------------------------------ resources

TEST(Resources, EnumerateInUpperCaseNameOrderAndFindIgnoringCase) {
  const uint8_t data[1] = {0};
  const platform::ResourceEntry entries[] = {
      {"ZTUSB10V00.BIN", data, 1, 0, 0},  {"NBT0110ANC.BIN", data, 1, 0, 0}, {"ZTDNT0102NC.BIN", data, 1, 0, 0},
      {"ZMDIG0100NC.BIN", data, 1, 0, 0}, {"Z_LAST", data, 1, 0, 0},
  };
  platform::TableResources table(entries, std::size(entries));
  std::vector<std::string> names;
  for (size_t i = 0; i < table.Count(); ++i) names.push_back(table.At(i)->name);
  EXPECT_EQ(names, (std::vector<std::string>{"NBT0110ANC.BIN", "ZMDIG0100NC.BIN", "ZTDNT0102NC.BIN", "ZTUSB10V00.BIN",
                                             "Z_LAST"}));
  EXPECT_EQ(table.At(5), nullptr);
  EXPECT_EQ(table.Find("ztusb10v00.bin"), &entries[0]);
  EXPECT_EQ(table.Find("ZTUSB10V00.BI"), nullptr);
  EXPECT_EQ(table.Find(nullptr), nullptr);
}

// ------------------------------------------------------------ SZDD in memory

TEST(SzddMemory, ExpandsLiteralsAndBackReferencesExactly) {
  for (size_t size : {0u, 1u, 7u, 8u, 9u, 100u, 5000u, 70000u}) {
    Bytes plain = Sample(size);
    Bytes packed = Szdd(plain, static_cast<uint32_t>(size));
    Bytes out;
    EXPECT_EQ(platform::ExpandSzdd(packed.data(), packed.size(), &out), static_cast<long>(size)) << size;
    EXPECT_EQ(out, plain) << size;
  }
}

TEST(SzddMemory, RefusesEveryTruncation) {
  Bytes plain = Sample(300);
  Bytes packed = Szdd(plain, 300);
  for (size_t cut = 0; cut < packed.size(); ++cut) {
    Bytes out;
    long result = platform::ExpandSzdd(packed.data(), cut, &out);
    EXPECT_EQ(result, cut < 14 ? platform::kSzddBadSource : platform::kSzddBadData) << "cut at " << cut;
    EXPECT_TRUE(out.empty());
  }
}

TEST(SzddMemory, RefusesDataThatDisagreeWithTheHeader) {
  Bytes plain = Sample(1000);
  struct Case {
    const char* what;
    Bytes packed;
    long result;
  };
  Bytes badSignature = Szdd(plain, 1000);
  badSignature[3] = 'X';
  Case cases[] = {
      {"promises more than it holds", Szdd(plain, 1001), platform::kSzddBadData},
      {"holds more than it promises", Szdd(plain, 999), platform::kSzddBadData},
      {"promises nothing but holds data", Szdd(plain, 0), platform::kSzddBadData},
      {"not SZDD", badSignature, platform::kSzddBadSource},
      {"promises more than the limit", Szdd(plain, platform::kSzddMaxLength + 1), platform::kSzddBadSource},
  };
  for (const Case& c : cases) {
    Bytes out;
    EXPECT_EQ(platform::ExpandSzdd(c.packed.data(), c.packed.size(), &out), c.result) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}

// ------------------------------------------------------------ SZDD files

class SzddFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    plain_ = Sample(20000);
    WriteFile(scratch_ / "IMAGE.BI_", Szdd(plain_, 20000));
  }
  ScratchFolder scratch_;
  FaultyFiles files_;
  platform::Override<platform::Files> guard_{files_};
  Bytes plain_;
};

TEST_F(SzddFiles, ExpandsFileToFileWithLengthAndDigest) {
  platform::SzddExpander expander;
  ASSERT_EQ(expander.OpenSource(scratch_ / "IMAGE.BI_"), 0);
  EXPECT_EQ(expander.ExpectedLength(), 20000u);
  ASSERT_EQ(expander.OpenDestination(scratch_ / "IMAGE.BIN"), 0);
  EXPECT_EQ(expander.Copy(), 20000);
  EXPECT_EQ(expander.WrittenDigest(), platform::Digest(plain_.data(), plain_.size()));
  expander.Close();
  EXPECT_EQ(ReadFile(scratch_ / "IMAGE.BIN"), plain_);
}

TEST_F(SzddFiles, ReportsEachStepThatFails) {
  platform::SzddExpander expander;
  EXPECT_EQ(expander.Copy(), platform::kSzddNotOpen);
  EXPECT_EQ(expander.OpenSource(scratch_ / "ABSENT.BI_"), platform::kSzddBadSource);
  EXPECT_EQ(expander.LastError(), static_cast<uint32_t>(ENOENT));
  ASSERT_EQ(expander.OpenSource(scratch_ / "IMAGE.BI_"), 0);
  EXPECT_EQ(expander.OpenDestination(scratch_ / "no/such/folder/IMAGE.BIN"), platform::kSzddBadDestination);
  EXPECT_EQ(expander.Copy(), platform::kSzddNotOpen);
}

TEST_F(SzddFiles, ADestinationThatRefusesBytesIsAWriteFailure) {
  files_.writeLimit = 5000;
  platform::SzddExpander expander;
  ASSERT_EQ(expander.OpenSource(scratch_ / "IMAGE.BI_"), 0);
  ASSERT_EQ(expander.OpenDestination(scratch_ / "IMAGE.BIN"), 0);
  EXPECT_EQ(expander.Copy(), platform::kSzddWriteFailed);
  EXPECT_EQ(expander.LastError(), static_cast<uint32_t>(ENOSPC));
}

TEST_F(SzddFiles, ASourceThatFailsAfterAnyNumberOfBytesNeverSucceeds) {
  const int64_t packedSize = static_cast<int64_t>(fs::file_size(scratch_ / "IMAGE.BI_"));
  for (int64_t limit = 0; limit < packedSize; limit += limit < 64 ? 1 : 997) {
    files_.readLimit = limit;
    platform::SzddExpander expander;
    long result = expander.OpenSource(scratch_ / "IMAGE.BI_");
    if (result == 0) {
      ASSERT_EQ(expander.OpenDestination(scratch_ / "IMAGE.BIN"), 0);
      result = expander.Copy();
    }
    EXPECT_LT(result, 0) << "source failing after " << limit << " bytes";
  }
}

}  // namespace
