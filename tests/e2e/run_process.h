#pragma once
// Runs the real program as a child in a folder of its own, with its output
// in files, so a test can signal it, close its streams or read its log.
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/text_files.h"

namespace e2e {

using test_support::Count;
using test_support::Has;
using test_support::ReadFile;

struct Finished {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out, err, log;
};

// A private working folder (removed at the end) with its own TMPDIR inside.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path Tmp() const { return dir_ / "tmp"; }

  // Starts `reflash <args>` through the shell (so `args` may hold
  // redirections); input from /dev/null unless `args` says otherwise.
  // Network discovery finds no DNS-SD library (nothing is multicast on
  // this machine's network) unless `env` sets REFLASH_DNSSD_LIBRARY.
  pid_t Start(const std::string& args, const std::string& env = {});
  // Waits for `pid` (at most `limitMs`, then kills it and fails the test)
  // and collects its files.
  Finished Wait(pid_t pid, int limitMs = 60000);
  Finished Run(const std::string& args, const std::string& env = {}) { return Wait(Start(args, env)); }
  // Waits until the file `name` in the folder holds `text` (at most
  // `limitMs`); false when it never did. Lets a test act once a run has
  // reached a point, however slow the build (sanitizers) is.
  bool WaitForText(const std::string& name, const std::string& text, int limitMs = 30000);
  // True while `pid` has not exited.
  static bool Running(pid_t pid);

 private:
  std::filesystem::path dir_;
  std::string bin_;
};

}  // namespace e2e
