#pragma once
// The set-up of the benches that run the real program on a private network
// made by the bench: the namespace, the program and a scratch folder. Each
// skips the bench with the reason when it cannot be had.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/private_network.h"

namespace bench {

// REFLASH_BIN, else the program built beside the benches.
inline std::filesystem::path ReflashBinary() {
  if (const char* bin = std::getenv("REFLASH_BIN"); bin && *bin) return bin;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return self.parent_path().parent_path() / "app" / "reflash";
}

// Enters this process's private network and finds the program.
inline bool EnterWithProgram(benchmark::State& state, std::filesystem::path* binary) {
  std::string why;
  if (!test_support::EnterPrivateNetwork(&why)) {
    state.SkipWithError(("no private network namespace: " + why).c_str());
    return false;
  }
  *binary = ReflashBinary();
  if (!std::filesystem::exists(*binary)) {
    state.SkipWithError("the reflash binary was not found (set REFLASH_BIN)");
    return false;
  }
  return true;
}

// A new folder under the temporary one, named from `prefix`.
inline bool ScratchFolder(benchmark::State& state, const std::string& prefix, std::filesystem::path* dir) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) {
    state.SkipWithError("no scratch folder");
    return false;
  }
  *dir = pattern;
  return true;
}

}  // namespace bench
