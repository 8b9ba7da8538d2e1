// Scripted and unattended runs of the real program: a strict command line,
// files that cannot be used, clean ends on signals, output a pipe can
// follow, and a record of every write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "tests/e2e/run_process.h"

namespace {

using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;
namespace fs = std::filesystem;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Anything that programs or writes leaves one of these in the log.
bool Wrote(const std::string& log) {
  return Has(log, "ProgramEEPROM") || Has(log, "Writing Serial Number") || Has(log, "About to program");
}

TEST(ScriptedRun, OptionsAreOptionsAndTokensAreTokens) {
  struct Case {
    const char* args;
    int status;
    const char* err;  // part of the error stream
    bool update;      // an update ran
  };
  const Case cases[] = {
      {"--helpp --console --simulate --yes", 2, "unknown option --helpp\nUsage: reflash", false},
      {"-x --console --simulate --yes", 2, "unknown option -x", false},
      {"--console --simulate --yes SN6018451234", 2,
       "reflash: Unknown token SN6018451234: the run stops, nothing is written\n", false},
      // Which of two numbers was meant is not guessed: nothing is written.
      {"--console --simulate SN=6018451234 SN=6018451299", 2, "reflash: SN= is given more than once", false},
      {"--console --simulate --yes getsnx", 1, "Serial Number", false},  // a prefix still counts as GETSN
      {"--console --simulate BOGUS", 0, "reflash: Ignoring unknown token BOGUS\n", false},
      {"--json --console --simulate", 2, "--json never asks", false},
      // An option's value is never a token: no serial number is written.
      {"--console --simulate --yes '--trace=t SN=6018991234'", 0, "", true},
  };
  for (const Case& c : cases) {
    Sandbox box;
    Finished r = box.Run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, c.err)) << c.args << "\n" << r.err;
    EXPECT_EQ(Has(r.log, "Programming Complete"), c.update) << c.args << "\n" << r.log;
    if (!c.update) {
      EXPECT_FALSE(Has(r.log, "ProgramEEPROM")) << c.args;
    }
    EXPECT_FALSE(Has(r.log, "SN=6018991234") || Has(r.log, "Writing Serial Number")) << c.args;
    if (Has(c.err, "token")) {
      EXPECT_TRUE(Has(r.log, std::string(" ") + (c.err + 9))) << r.log;
    }
  }
  Sandbox box;
  Finished help = box.Run("-h");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: reflash", 0), 0u) << help.out;
}

TEST(ScriptedRun, SelectNamesTheEntryThatIsWrittenOrRefusesTheRun) {
  {
    Sandbox box;
    Finished r = box.Run("--console --simulate=thunderbolt --yes --select=2");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "--select=2: there is no entry 2 (the list has 2)")) << r.err;
    EXPECT_FALSE(Wrote(r.log)) << r.log;
  }
  {
    // SN= goes to the selected entry, and the write is recorded.
    Sandbox box;
    Finished r = box.Run("SN=6018451299 --console --simulate=thunderbolt --select=1");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string line = "Serial number 6018451299 for entry 1 (Orvella(n) connected via Thunderbolt): written";
    EXPECT_TRUE(Has(r.out, line + "\n")) << r.out;
    EXPECT_TRUE(Has(r.log, line + "\n")) << r.log;
    EXPECT_FALSE(Has(r.log, "for entry 0")) << r.log;
  }
  {
    // Selecting the entry already shown keeps FILE=.
    Sandbox box;
    const fs::path image = box.Dir() / "NBT0112ANC.BIN";
    std::ofstream(image) << std::string(4096, '\x5A');
    Finished r = box.Run("--console --simulate --yes --select=0 FILE=" + image.string());
    EXPECT_TRUE(Has(r.err, image.string() + ": About to program the Orvella(n) connected via Orvella(n) MIDI 1 with "
                                            "Firmware Version 1.12"))
        << r.err;
    EXPECT_TRUE(Has(r.log, "image " + image.string() + " (4096 bytes)")) << r.log;
  }
}

TEST(ScriptedRun, AFileThatCannotBeUsedStopsAScriptedRun) {
  struct Case {
    const char* name;
    std::function<std::string(const fs::path&)> make;  // returns the FILE= tokens
  };
  const Case cases[] = {
      {"missing", [](const fs::path& d) { return "FILE=" + (d / "NBT0112ANC.BIN").string(); }},
      {"directory",
       [](const fs::path& d) {
         fs::create_directory(d / "NBT0112ANC.BIN");
         return "FILE=" + (d / "NBT0112ANC.BIN").string();
       }},
      {"symlink loop",
       [](const fs::path& d) {
         fs::create_symlink(d / "NBT0112ANC.BIN", d / "NBT0112ANC.BIN");
         return "FILE=" + (d / "NBT0112ANC.BIN").string();
       }},
      {"fifo",
       [](const fs::path& d) {
         mkfifo((d / "NBT0112ANC.BIN").c_str(), 0600);
         return "FILE=" + (d / "NBT0112ANC.BIN").string();
       }},
      {"second file fails",
       [](const fs::path& d) {
         std::ofstream(d / "NBT0112ANC.BIN") << std::string(4096, '\x5A');
         return "FILE=" + (d / "NBT0112ANC.BIN").string() + " FILE=" + (d / "NBT0113ANC.BIN").string();
       }},
  };
  for (const Case& c : cases) {
    Sandbox box;
    Finished r = box.Wait(box.Start("--console --simulate --yes " + c.make(box.Dir())), 20000);
    EXPECT_EQ(r.status, 1) << c.name << "\n" << r.err;
    EXPECT_TRUE(Has(r.err, "reflash: The file given with FILE= cannot be used: nothing is programmed")) << c.name;
    EXPECT_FALSE(Wrote(r.log)) << c.name << "\n" << r.log;
  }
}

TEST(ScriptedRun, TheLogAndTheTraceNeverGoThroughLinksFifosOrClosedStreams) {
  {
    // A planted link must not redirect the log into another file.
    Sandbox box;
    std::ofstream(box.Dir() / "victim") << "untouched\n";
    fs::create_symlink(box.Dir() / "victim", box.Dir() / "OrvellaReflash.log");
    Finished r = box.Run("--console --simulate");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(e2e::ReadFile(box.Dir() / "victim"), "untouched\n");
    const std::string said = "cannot write the log OrvellaReflash.log (it is a symbolic link)";
    EXPECT_EQ(r.err.find(said), r.err.rfind(said)) << "said once: " << r.err;
    EXPECT_TRUE(Has(r.err, said)) << r.err;
  }
  {
    // A FIFO as log or trace must not hold the run.
    Sandbox box;
    mkfifo((box.Dir() / "OrvellaReflash.log").c_str(), 0600);
    mkfifo((box.Dir() / "t.trace").c_str(), 0600);
    Finished log = box.Wait(box.Start("--console --simulate"), 20000);
    EXPECT_EQ(log.status, 0);
    EXPECT_TRUE(Has(log.err, "(it is not a regular file)")) << log.err;
    Finished trace = box.Wait(box.Start("--console --simulate --trace=t.trace"), 20000);
    EXPECT_EQ(trace.status, 2);
    EXPECT_TRUE(Has(trace.err, "cannot write the trace file t.trace")) << trace.err;
  }
  {
    // With standard output closed, the window's text does not land in the log.
    Sandbox box;
    Finished r = box.Run("--console --simulate >&-");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.log, "Found Orvella(n)")) << r.log;
    EXPECT_FALSE(Has(r.log, "== Orvella(n) Firmware Update ==")) << r.log;
  }
}

// The log's last record of a run.
bool EndsWithExiting(const std::string& log) {
  const std::string tail = " Exiting\n" + std::string(77, '*') + "\n";
  return log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0;
}

bool NoRunFolderLeft(const fs::path& tmp) {
  for (const auto& entry : fs::directory_iterator(tmp)) {
    if (entry.path().filename().string().rfind("reflash-", 0) == 0) return false;
  }
  return true;
}

// The last frame sent on the link.
std::string LastSent(const std::string& trace) {
  std::string last;
  size_t pos = 0;
  while ((pos = trace.find(" out ", pos)) != std::string::npos) {
    const size_t start = trace.find(' ', pos + 5);
    const size_t end = trace.find('\n', pos);
    last = trace.substr(start + 1, end - start - 1);
    pos = end;
  }
  return last;
}

// The cancel command's frame as the link carries it.
constexpr const char* kCancelFrame = "F0 00 01 54 5A 12 34 F7";

TEST(ScriptedRun, SignalsDuringAWriteAbortCleanly) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> signals;  // (ms after the download began, signal)
    int status;
  };
  const Case cases[] = {
      {"SIGTERM", {{500, SIGTERM}}, 143},
      {"SIGHUP", {{500, SIGHUP}}, 129},
      {"two Ctrl+C", {{500, SIGINT}, {1000, SIGINT}}, 130},
      // Ctrl+\ and the signals whose default is to end the program.
      {"SIGQUIT", {{500, SIGQUIT}}, 131},
      {"SIGUSR1", {{500, SIGUSR1}}, 138},
      {"SIGALRM", {{500, SIGALRM}}, 142},
  };
  for (const Case& c : cases) {
    Sandbox box;
    const pid_t pid = box.Start("--console --simulate=thunderbolt --yes --trace=t.trace");
    // Live output: the download shows on the screen while it runs.
    EXPECT_TRUE(box.WaitForText("out.txt", "Downloading...\n")) << c.name;
    int at = 0;
    for (const auto& [when, signal] : c.signals) {
      SleepMs(when - at);
      at = when;
      kill(pid, signal);
    }
    Finished r = box.Wait(pid, 20000);
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    EXPECT_EQ(LastSent(e2e::ReadFile(box.Dir() / "t.trace")), kCancelFrame) << c.name;
    EXPECT_TRUE(EndsWithExiting(r.log)) << c.name << "\n" << r.log.substr(r.log.size() > 600 ? r.log.size() - 600 : 0);
    EXPECT_TRUE(Has(r.log, std::string(" Aborting: ") + (c.signals.back().second == SIGINT ? "SIGINT" : c.name)))
        << r.log;
    EXPECT_TRUE(Has(r.out, ", aborted by ")) << r.out;
    EXPECT_TRUE(NoRunFolderLeft(box.Tmp())) << c.name;
  }
}

TEST(ScriptedRun, AFirstCtrlCDuringAWriteOnlyWarns) {
  Sandbox box;
  const pid_t pid = box.Start("--console --simulate=thunderbolt --yes --trace=t.trace");
  ASSERT_TRUE(box.WaitForText("out.txt", "Downloading...\n"));
  kill(pid, SIGINT);
  SleepMs(1000);
  EXPECT_TRUE(Sandbox::Running(pid));
  EXPECT_TRUE(Has(e2e::ReadFile(box.Dir() / "err.txt"),
                  "An update is in progress: press Ctrl+C again within 5 s to abort. The unit will then need a new "
                  "update.\n"));
  kill(pid, SIGTERM);
  Finished r = box.Wait(pid, 20000);
  EXPECT_EQ(r.status, 143);
  EXPECT_TRUE(Has(r.log, " SIGINT during a write: the transfer goes on")) << r.log;
}

TEST(ScriptedRun, AClosedPipeDoesNotEndTheRun) {
  Sandbox box;
  // The shell reports the program's own status after head has gone.
  std::ofstream(box.Dir() / "run.sh") << "cd '" << box.Dir().string() << "' && '" << std::getenv("REFLASH_BIN")
                                       << "' --console --simulate --yes </dev/null 2>/dev/null | head -3 >/dev/null\n"
                                          "echo ${PIPESTATUS[0]} >status.txt\n";
  ASSERT_EQ(std::system(("bash '" + (box.Dir() / "run.sh").string() + "'").c_str()), 0);
  EXPECT_EQ(e2e::ReadFile(box.Dir() / "status.txt"), "0\n");
  const std::string log = e2e::ReadFile(box.Dir() / "OrvellaReflash.log");
  EXPECT_TRUE(Has(log, " Programming Complete\n")) << log;
  EXPECT_TRUE(EndsWithExiting(log));
}

TEST(ScriptedRun, EachUpdateEndsWithOneSummaryLine) {
  Sandbox box;
  Finished r = box.Run("--console --simulate --yes");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string start =
      "Update: Orvella(n) connected via Orvella(n) MIDI 1, serial number 6018451234, firmware 1.2 -> 1.10, PROM2, "
      "image NBT0110ANC.BIN (3026032 bytes), took 00:00:";
  EXPECT_TRUE(Has(r.out, "\n" + start)) << r.out;
  EXPECT_TRUE(Has(r.log, " " + start)) << r.log;
  EXPECT_TRUE(Has(r.out, ", succeeded\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "\nProgress: 50% (00:00:")) << r.out;
  EXPECT_EQ(r.out.find("Update: "), r.out.rfind("Update: "));
}

}  // namespace

namespace {

TEST(ScriptedRun, TheWindowClosesOnSigtermAndTheScreenshotVariableNeedsSimulate) {
#ifndef REFLASH_TEST_HAVE_WINDOW
  GTEST_SKIP() << "built without the window";
#endif
  Sandbox box;
  const std::string shot = (box.Dir() / "shot.png").string();
  // Real links (there are none here): the window waits on its "no unit"
  // message, which nothing would answer if the variable were honoured.
  const pid_t pid = box.Start("", "QT_QPA_PLATFORM=offscreen REFLASH_SCREENSHOT=" + shot);
  EXPECT_TRUE(box.WaitForText("OrvellaReflash.log", " Unable to locate an Orvella(n)!\n"));
  EXPECT_TRUE(Sandbox::Running(pid)) << "the message was answered: nothing may answer it without --simulate";
  kill(pid, SIGTERM);
  Finished r = box.Wait(pid, 20000);
  EXPECT_EQ(r.status, 143);
  EXPECT_TRUE(Has(r.err, "reflash: REFLASH_SCREENSHOT is ignored without --simulate\n")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(shot));
  EXPECT_TRUE(EndsWithExiting(r.log)) << r.log;
}

}  // namespace

namespace {

TEST(ScriptedRun, TheReadmeDescribesEveryScenarioAsTheListDoes) {
  Sandbox box;
  Finished r = box.Run("--simulate=list");
  ASSERT_EQ(r.status, 0);
  const std::string readme = e2e::ReadFile(std::string(REFLASH_SOURCE_DIR) + "/README.md");
  std::istringstream lines(r.out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    const size_t gap = line.find(' ');
    ASSERT_NE(gap, std::string::npos) << "no description: " << line;
    const std::string name = line.substr(0, gap);
    const std::string description = line.substr(line.find_first_not_of(' ', gap));
    EXPECT_TRUE(Has(readme, "| `" + name + "` | " + description + " |\n")) << line;
    ++count;
  }
  EXPECT_GE(count, 9);
}

}  // namespace
