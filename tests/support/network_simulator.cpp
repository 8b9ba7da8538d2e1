#include "tests/support/network_simulator.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "tests/support/text_files.h"

namespace test_support {

NetworkSimulator::NetworkSimulator(const std::string& program, const std::vector<std::string>& args,
                                   const std::filesystem::path& output)
    : output_(output) {
  std::ofstream(output_).flush();  // exists (empty) before the child writes
  pid_ = fork();
  if (pid_ == 0) {
    if (!std::freopen(output_.c_str(), "w", stdout)) _exit(126);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
}

NetworkSimulator::~NetworkSimulator() { Stop(); }

std::string NetworkSimulator::Output() const { return ReadFile(output_); }

bool NetworkSimulator::Ready(int limitMs) const {
  if (pid_ <= 0) return false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (Output().find("ready\n") == std::string::npos) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string NetworkSimulator::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return Output();
}

}  // namespace test_support
