// The real program reports every run as it happened: what a signal can and
// cannot cut, what the serial prompt takes, what the records say when they
// cannot be written, and what the done state names.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "tests/e2e/run_process.h"

namespace {

namespace fs = std::filesystem;
using e2e::Count;
using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;

bool EndsWithExiting(const std::string& log) {
  return log.size() > 90 && Has(log.substr(log.size() - 100), " Exiting\n" + std::string(77, '*') + "\n");
}

// ------------------------------------------------------------ signals

TEST(TruthfulRun, ASignalDuringTheUnitsOwnProgrammingLeavesTheSuccess) {
  // After the last packet the unit erases, programs and verifies by itself
  // (about a second in the simulation): a cancel then would stop it
  // half-way, and "aborted" would be untrue.
  Sandbox box;
  std::ofstream(box.Dir() / "NBT0111ANC.BIN", std::ios::binary) << std::string(64 * 128, '\x5A');
  const pid_t pid = box.Start("--console --simulate --yes --trace=t.trace FILE=" +
                              (box.Dir() / "NBT0111ANC.BIN").string());
  ASSERT_TRUE(box.WaitForText("OrvellaReflash.log", " Download took: "));
  kill(pid, SIGTERM);
  const Finished r = box.Wait(pid, 20000);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, ", succeeded\n")) << r.out;
  EXPECT_TRUE(Has(r.log, " SIGTERM received during the unit's own programming: it finishes first\n")) << r.log;
  EXPECT_TRUE(Has(r.log, " Programming Complete\n"));
  EXPECT_FALSE(Has(r.log, "CancelProgramming"));
  EXPECT_FALSE(Has(e2e::ReadFile(box.Dir() / "t.trace"), "F0 00 01 54 5A 12 34 F7"));
  EXPECT_TRUE(EndsWithExiting(r.log));
}

TEST(TruthfulRun, ASignalIgnoredAtTheStartStaysIgnored) {
  // As nohup and a background job start it: SIGHUP and SIGINT ignored.
  Sandbox box;
  const pid_t pid = box.Start("--console --simulate=thunderbolt --yes", "export TMPDIR; trap '' HUP INT;");
  ASSERT_TRUE(box.WaitForText("out.txt", "Downloading...\n"));
  kill(pid, SIGHUP);
  kill(pid, SIGINT);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(Sandbox::Running(pid));
  kill(pid, SIGTERM);  // still ends the run cleanly
  const Finished r = box.Wait(pid, 20000);
  EXPECT_EQ(r.status, 143);
  EXPECT_TRUE(Has(r.log, " Aborting: SIGTERM received\n")) << r.log;
  EXPECT_FALSE(Has(r.log, "SIGHUP") || Has(r.log, "SIGINT"));
}

// ------------------------------------------------------ serial numbers

// Runs the program with a terminal as its standard input, types `typed`
// into it and waits for the end.
Finished RunOnTerminal(Sandbox& box, const std::string& args, const std::string& typed) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(master, 0);
  EXPECT_EQ(grantpt(master), 0);
  EXPECT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  const pid_t pid = box.Start(args + " <'" + slave + "'");
  // The terminal keeps what is typed until the program reads it, line by line.
  EXPECT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  Finished r = box.Wait(pid, 30000);
  close(master);
  return r;
}

TEST(TruthfulRun, TheSerialPromptWritesOnlyANumberTypedExactly) {
  struct Case {
    const char* typed;
    int status;
    const char* written;  // the number written, or null
  };
  const Case cases[] = {
      // A letter is not dropped, an eleventh digit does not start a second number.
      {"60184512A34\n\n", 1, nullptr},
      {"601845123496018451299\n\n", 1, nullptr},
      {"6018451299 \n\n", 1, nullptr},
      {"6018451A34\n\n", 1, nullptr},
      // A refused line asks again; the exact number is then written.
      {"60184512A34\n6018451299\nn\n", 0, "6018451299"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Sandbox box;
    const Finished r = RunOnTerminal(box, "--console --simulate=blank-serial GETSN --trace=t.trace", c.typed);
    EXPECT_EQ(r.status, c.status) << r.err;
    const std::string trace = e2e::ReadFile(box.Dir() / "t.trace");
    if (c.written) {
      EXPECT_TRUE(Has(r.out, std::string("Serial number ") + c.written + " for entry 0")) << r.out;
      EXPECT_EQ(Count(r.err, "Invalid Serial Number!"), 1) << r.err;
    } else {
      EXPECT_GE(Count(r.err, "Invalid Serial Number!"), 1) << r.err;
      EXPECT_FALSE(Has(r.log, "Writing Serial Number")) << r.log;
      // No register write left the host: command 0 in bits 6..3 of byte 4.
      EXPECT_FALSE(std::regex_search(trace, std::regex(" out \\d+ F0 00 01 54 0[0-7] "))) << trace;
    }
  }
}

TEST(TruthfulRun, AModuleEntrysSerialNumberReachesItsUnit) {
  Sandbox box;
  const Finished r = box.Run("--console --simulate=zmdig --select=1 SN=6018451299");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Serial number 6018451299 for entry 1 (ZM-DIG in Orvella(n) connected via Orvella(n) MIDI "
                         "1): written\n"))
      << r.out;
  EXPECT_FALSE(Has(r.log, "WaitForResponse Failed!")) << r.log;
}

// ------------------------------------------------------------ records

TEST(TruthfulRun, TheTraceRefusesALinkAndMarksEachNewRun) {
  Sandbox box;
  std::ofstream(box.Dir() / "other.txt") << "kept\n";
  fs::create_symlink("other.txt", box.Dir() / "l.trace");
  const Finished linked = box.Run("--console --simulate --trace=l.trace");
  EXPECT_EQ(linked.status, 2);
  EXPECT_TRUE(Has(linked.err, "cannot write the trace file l.trace (it is a symbolic link)")) << linked.err;
  EXPECT_EQ(e2e::ReadFile(box.Dir() / "other.txt"), "kept\n");

  box.Run("--console --simulate --trace=t.trace");
  const std::string first = e2e::ReadFile(box.Dir() / "t.trace");
  EXPECT_FALSE(Has(first, "#")) << "a new file starts with the run's own lines";
  box.Run("--console --simulate --trace=t.trace");
  const std::string both = e2e::ReadFile(box.Dir() / "t.trace");
  ASSERT_EQ(both.rfind(first, 0), 0u);
  EXPECT_TRUE(std::regex_search(both.substr(first.size()), std::regex("^# new run \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n\\d+ out ")))
      << both.substr(first.size(), 200);
}

TEST(TruthfulRun, AFullDiskIsReportedOnceForTheLogAndForTheTrace) {
  Sandbox box;
  const fs::path full = box.Dir() / "full";
  fs::create_directory(full);
  // A file system of 16 KiB, filled up, in a mount namespace of the test's own.
  std::ofstream(box.Dir() / "run.sh") << "mount -t tmpfs -o size=16k tmpfs '" << full.string()
                                     << "' || exit 99\ncd '" << full.string()
                                     << "' && head -c 16384 /dev/zero >filler 2>/dev/null\n'"
                                     << std::getenv("REFLASH_BIN")
                                     << "' --console --simulate --yes --trace=t.trace >../out.txt 2>../err.txt\n";
  const int raw = std::system(("unshare -m sh '" + (box.Dir() / "run.sh").string() + "' 2>/dev/null").c_str());
  if (!WIFEXITED(raw) || WEXITSTATUS(raw) == 99 || !fs::exists(box.Dir() / "err.txt")) {
    GTEST_SKIP() << "no private mount namespace here";
  }
  EXPECT_EQ(WEXITSTATUS(raw), 0);  // the update itself went on
  const std::string err = e2e::ReadFile(box.Dir() / "err.txt");
  EXPECT_EQ(Count(err, "reflash: cannot write the log OrvellaReflash.log (No space left on device)"), 1) << err;
  EXPECT_EQ(Count(err, "reflash: cannot write the trace file t.trace (No space left on device)"), 1) << err;
  EXPECT_TRUE(Has(e2e::ReadFile(box.Dir() / "out.txt"), ", succeeded\n"));
}

// ----------------------------------------------- what the run tells

TEST(TruthfulRun, ACardUpdateNamesTheCardAndOneEstimateIsGiven) {
  Sandbox box;
  const Finished r = box.Run("--console --simulate=network --yes ZSLOT");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "The firmware has been successfully updated on the ZI-RERAR card in the Orvella(n).")) << r.out;
  std::smatch asked, logged;
  ASSERT_TRUE(std::regex_search(r.err, asked, std::regex("The transfer will take (about [^\n]+) at the speed")));
  ASSERT_TRUE(std::regex_search(r.log, logged, std::regex(" Transfer estimate: ([^\n]+)\n")));
  EXPECT_EQ(asked[1].str(), logged[1].str());
}

}  // namespace
