#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the hooks were given.
struct Parsed {
  Options options;
  bool result = false;
  std::vector<std::string> serials;
  std::vector<std::string> files;
};

Parsed Parse(const std::string& commandLine, bool acceptSerial = true) {
  Parsed p;
  p.options.m_nPromSelect = 99;  // proves the reset
  p.options.m_bGetSerialNumber = true;
  OptionHooks hooks;
  hooks.serial = [&](const std::string& value) {
    p.serials.push_back(value);
    return acceptSerial;
  };
  hooks.file = [&](const std::string& path) { p.files.push_back(path); };
  p.result = ParseOptions(commandLine, p.options, hooks);
  return p;
}

TEST(OptionsTest, EmptyOrBlankCommandLineSetsNothing) {
  for (const char* line : {"", " ", "     ", "--console --simulate --yes"}) {
    Parsed p = Parse(line);
    EXPECT_TRUE(p.result) << line;
    EXPECT_EQ(p.options.m_nPromSelect, 1) << line;
    EXPECT_FALSE(p.options.m_bGetSerialNumber) << line;
    EXPECT_FALSE(p.options.m_bCardMode) << line;
    EXPECT_FALSE(p.options.m_bCardModeFixed) << line;
    EXPECT_TRUE(p.serials.empty() && p.files.empty()) << line;
  }
}

TEST(OptionsTest, TokensAreUpperCasedBeforeMatching) {
  Parsed p = Parse("sn=6018120042 getsn");
  EXPECT_EQ(p.serials, std::vector<std::string>{"6018120042"});
  EXPECT_TRUE(p.options.m_bGetSerialNumber);
}

TEST(OptionsTest, PromSelectTakesOnlyTheNextCharacter) {
  struct Case {
    const char* line;
    uint8_t select;
  };
  const Case cases[] = {
      {"PROM=2", 1}, {"PROM=X", 1}, {"PROM=", 1}, {"PROM=1", 0},  {"prom=1", 0},
      {"PROM=b", 2}, {"PROM=BOTH", 2}, {"PROM=12", 0}, {"PROM=1 PROM=B", 2}, {"PROM=B PROM=7", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parse(c.line).options.m_nPromSelect, c.select) << c.line;
  }
}

TEST(OptionsTest, PrefixMatchIsEnough) {
  Parsed p = Parse("GETSNX ZSLOTTED");
  EXPECT_TRUE(p.options.m_bGetSerialNumber);
  EXPECT_TRUE(p.options.m_bCardMode);
  EXPECT_TRUE(p.options.m_bCardModeFixed);
}

TEST(OptionsTest, OnlyBlanksSeparateTokens) {
  // A tab is part of the token, so "ZSLOT" no longer starts one...
  Parsed tab = Parse("GETSN\tZSLOT");
  EXPECT_TRUE(tab.options.m_bGetSerialNumber);
  EXPECT_FALSE(tab.options.m_bCardMode);
  // ...and a quote is an ordinary character.
  EXPECT_FALSE(Parse("\"GETSN\"").options.m_bGetSerialNumber);
  // A token must start with the prefix; one inside does not count.
  EXPECT_FALSE(Parse("XGETSN").options.m_bGetSerialNumber);
}

TEST(OptionsTest, FilePathStopsAtTheFirstBlank) {
  Parsed p = Parse("file=/home/tech/My Images/fw.bin  getsn");
  // The path keeps its case: file names here are case-sensitive.
  EXPECT_EQ(p.files, std::vector<std::string>{"/home/tech/My"});
  EXPECT_TRUE(p.options.m_bGetSerialNumber);
}

TEST(OptionsTest, RefusedSerialStopsParsing) {
  Parsed p = Parse("SN=6018001234 GETSN FILE=X", /*acceptSerial=*/false);
  EXPECT_FALSE(p.result);
  EXPECT_EQ(p.serials, std::vector<std::string>{"6018001234"});
  EXPECT_FALSE(p.options.m_bGetSerialNumber);
  EXPECT_TRUE(p.files.empty());
}

TEST(OptionsTest, MissingHooksAreSkipped) {
  Options options;
  EXPECT_TRUE(ParseOptions("SN=6018451234 FILE=A.BIN ZSLOT", options, OptionHooks{}));
  EXPECT_TRUE(options.m_bCardMode);
  EXPECT_EQ(options.m_dwCommandLineSerial, 0u);
}

}  // namespace
