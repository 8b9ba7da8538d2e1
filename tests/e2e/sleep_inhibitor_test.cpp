// The sleep inhibitor against a real bus daemon of the test's own, with a
// mock login manager on it standing in for the system's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/e2e/run_process.h"

namespace {

using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

pid_t Spawn(const std::string& command) {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
}

// A private bus daemon and the mock login manager on it, for one test.
class MockLogin : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/dbus-daemon", X_OK) != 0 || access("/usr/bin/dbus-send", X_OK) != 0) {
      GTEST_SKIP() << "dbus-daemon or dbus-send is not installed (Debian package dbus); CI installs it";
    }
    if (std::system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") != 0) {
      GTEST_SKIP() << "python3-dbusmock is not installed; CI installs it";
    }
    address_ = "unix:path=" + (box_.Dir() / "bus").string();
    daemon_ = Spawn("/usr/bin/dbus-daemon --config-file=/usr/share/dbus-1/session.conf --nofork --nopidfile "
                    "--address=" + address_ + " >/dev/null 2>&1");
    mock_ = Spawn("env DBUS_SYSTEM_BUS_ADDRESS=" + address_ +
                  " /usr/bin/python3 -m dbusmock --system --template logind >/dev/null 2>&1");
    // The mock is ready once it owns the login manager's name (within 10 s).
    for (int i = 0; i < 200 && !Has(Call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1"),
                                    "boolean true");
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(Has(Inhibitors(), "array [")) << "the mock login manager did not start";
  }
  void TearDown() override {
    Stop(mock_);
    Stop(daemon_);
  }

  std::string Call(const std::string& dest, const std::string& path, const std::string& method) {
    return Capture("/usr/bin/dbus-send --bus=" + address_ + " --print-reply --dest=" + dest + " " + path + " " +
                   method + " 2>&1");
  }
  std::string Inhibitors() {
    return Call("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager.ListInhibitors");
  }

  Sandbox box_;
  std::string address_;
  pid_t daemon_ = -1;
  pid_t mock_ = -1;
};

TEST_F(MockLogin, AnUpdateHoldsTheLockAndReleasesItWhenItEnds) {
  const pid_t pid = box_.Start("--console --simulate=thunderbolt --yes", "DBUS_SYSTEM_BUS_ADDRESS=" + address_);
  std::string held;
  for (int i = 0; i < 600 && !Has(held, "Reflash"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    held = Inhibitors();
  }
  for (const char* part : {"\"sleep:idle:handle-lid-switch\"", "\"Reflash\"",
                           "\"Updating the firmware of Orvella(n) connected via Thunderbolt\"", "\"block\""}) {
    EXPECT_TRUE(Has(held, part)) << part << "\n" << held;
  }
  kill(pid, SIGTERM);  // an aborted write lets go of it as well
  Finished r = box_.Wait(pid, 20000);
  EXPECT_EQ(r.status, 143);
  std::string after = Inhibitors();
  for (int i = 0; i < 40 && Has(after, "Reflash"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    after = Inhibitors();
  }
  EXPECT_FALSE(Has(after, "Reflash")) << after;
  EXPECT_TRUE(Has(r.log, " Sleep inhibitor held: Updating the firmware of")) << r.log;
  EXPECT_TRUE(Has(r.log, " Sleep inhibitor released\n")) << r.log;
}

TEST(SleepInhibitor, WithoutALoginManagerTheWriteGoesOnAndTheLogSaysSoOnce) {
  Sandbox box;
  // Two writes (a serial number, then an update) on a bus address nobody serves.
  Finished r = box.Run("GETSN --serial=6018451299 --console --simulate --yes",
                       "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (box.Dir() / "nobody").string());
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string said = " No sleep inhibitor (";
  EXPECT_TRUE(Has(r.log, said)) << r.log;
  EXPECT_EQ(r.log.find(said), r.log.rfind(said));
  EXPECT_TRUE(Has(r.log, " Serial number 6018451299 for entry 0")) << r.log;
  EXPECT_TRUE(Has(r.log, " Programming Complete\n")) << r.log;
}

}  // namespace
