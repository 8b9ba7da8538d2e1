#include "tests/e2e/run_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

namespace fs = std::filesystem;

Sandbox::Sandbox() {
  const char* bin = std::getenv("REFLASH_BIN");
  bin_ = bin ? bin : "";
  std::string pattern = (fs::temp_directory_path() / "reflash-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data())) dir_ = pattern;
  fs::create_directory(Tmp());
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
  if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

pid_t Sandbox::Start(const std::string& args, const std::string& env) {
  // A run on real links would look for cards on this machine's network;
  // unless the test names a DNS-SD library itself, give it none to load.
  const std::string network =
      Has(env, "REFLASH_DNSSD_LIBRARY=") ? "" : "REFLASH_DNSSD_LIBRARY='" + (dir_ / "no-dnssd.so").string() + "' ";
  // Our redirections first, so that `args` can override them.
  const std::string command = "cd '" + dir_.string() + "' && TMPDIR='" + Tmp().string() + "' " + network + env +
                              " exec '" + bin_ + "' >>out.txt 2>>err.txt </dev/null " + args;
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

bool Sandbox::WaitForText(const std::string& name, const std::string& text, int limitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!Has(ReadFile(dir_ / name), text)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool Sandbox::Running(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

Finished Sandbox::Wait(pid_t pid, int limitMs) {
  Finished r;
  int raw = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    const pid_t done = waitpid(pid, &raw, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "the program did not end within " << limitMs << " ms";
      kill(pid, SIGKILL);
      waitpid(pid, &raw, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFile(dir_ / "out.txt");
  r.err = ReadFile(dir_ / "err.txt");
  std::error_code ignored;
  // A test may have put something else than a file there (a FIFO would block).
  if (fs::is_regular_file(fs::symlink_status(dir_ / "OrvellaReflash.log", ignored))) {
    r.log = ReadFile(dir_ / "OrvellaReflash.log");
  }
  return r;
}

}  // namespace e2e
