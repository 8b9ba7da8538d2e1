#include "app/main/cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CliOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "reflash");
  return ParseCli(static_cast<int>(args.size()), args.data());
}

TEST(CliTest, OurOptionsAreReadAndOnlyTokensGoToTheWindow) {
  CliOptions cli = Parse({"sn=6018451234", "--console", "--simulate=two-units", "--yes", "--select=1",
                          "--serial=6018451234", "--trace=run.trace", "PROM=B"});
  EXPECT_TRUE(cli.errors.empty());
  EXPECT_TRUE(cli.console);
  EXPECT_TRUE(cli.simulate);
  EXPECT_EQ(cli.scenario, "two-units");
  EXPECT_TRUE(cli.yes);
  EXPECT_EQ(cli.select, 1);
  EXPECT_EQ(cli.serial, "6018451234");
  EXPECT_EQ(cli.trace, "run.trace");
  EXPECT_FALSE(cli.help || cli.version);
  EXPECT_EQ(cli.windowCommandLine, "sn=6018451234 PROM=B");
}

TEST(CliTest, NoArgumentsGiveAnEmptyWindowCommandLine) {
  CliOptions cli = Parse({});
  EXPECT_EQ(cli.windowCommandLine, "");
  EXPECT_FALSE(cli.simulate);
  EXPECT_TRUE(cli.errors.empty());
}

TEST(CliTest, BareSimulateUsesTheDefaultScenario) {
  CliOptions cli = Parse({"--simulate", "--help", "--version"});
  EXPECT_TRUE(cli.simulate);
  EXPECT_EQ(cli.scenario, "");
  EXPECT_TRUE(cli.help);
  EXPECT_TRUE(cli.version);
}

TEST(CliTest, MalformedOptionsAreErrors) {
  for (const char* bad : {"--bogus", "--select", "--select=x", "--select=-1", "--serial=123", "--serial=60184512x4",
                          "--trace", "--trace=", "--yes=no", "--simulate=", "--consoles"}) {
    EXPECT_EQ(Parse({bad}).errors.size(), 1u) << bad;
  }
}

TEST(CliTest, AnAbsolutePathIsAnOpenedFirmwareFile) {
  struct Case {
    std::vector<const char*> args;
    const char* window;
    size_t errors;
  };
  const Case cases[] = {
      {{"/home/eng/ZTFW102NC.BIN"}, "FILE=/home/eng/ZTFW102NC.BIN", 0},
      {{"--simulate", "/tmp/a.bin", "PROM=B"}, "FILE=/tmp/a.bin PROM=B", 0},  // options stay ours
      {{"FILE=/tmp/a.bin"}, "FILE=/tmp/a.bin", 0},      // already a token
      {{"relative.bin"}, "relative.bin", 0},            // not a path we open
      {{"/tmp/my image.bin"}, "FILE=/tmp/my image.bin", 1},  // the window splits at blanks
  };
  for (const Case& c : cases) {
    CliOptions cli = Parse(c.args);
    EXPECT_EQ(cli.windowCommandLine, c.window);
    EXPECT_EQ(cli.errors.size(), c.errors) << c.window;
  }
}

TEST(CliTest, HelpNamesEveryTokenAndOption) {
  std::string help = HelpText();
  for (const char* name : {"SN=", "GETSN", "FILE=", "PROM=", "ZSLOT", "--console", "--simulate[=SCENARIO]", "--yes",
                           "--select=N", "--serial=NNNNNNNNNN", "--trace=FILE", "--help", "--version",
                           "Exit status"}) {
    EXPECT_NE(help.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(VersionText().rfind("reflash ", 0), 0u);
}

}  // namespace
