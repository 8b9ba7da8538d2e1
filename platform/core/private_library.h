#pragma once
// Where the program's own shared libraries live (the simulated card driver,
// the DNS-SD client): found from the running executable, never from a path
// fixed at build time, so an installed program and a build tree both work.
//   installed:  <prefix>/bin/reflash, <prefix>/lib/reflash/<file>
//   build tree: <build>/app/reflash, <build>/lib/reflash/<file>, or <file>
//               next to the executable
#include <string>

namespace platform {

// The folder below the prefix that holds the private libraries; install
// rules use the same relative path.
inline constexpr const char* kPrivateLibraryFolder = "lib/reflash";

// The directory of the running executable without a trailing slash, or ""
// when it cannot be read.
std::string ExecutableDirectory();

// The candidates for private library `file` below executable directory
// `exeDir`, in search order: "<exeDir>/../lib/reflash/<file>", then
// "<exeDir>/<file>".
std::string PrivateLibraryCandidate(const std::string& exeDir, const std::string& file, int row);
inline constexpr int kPrivateLibraryCandidates = 2;

// The first candidate below `exeDir` that exists as a file. When none does,
// the first candidate, so that a failing load names where the library was
// expected. An empty `exeDir` gives `file` itself (the loader's search path).
std::string PrivateLibraryPath(const std::string& file, const std::string& exeDir);

// The same for the running executable.
std::string PrivateLibraryPath(const std::string& file);

}  // namespace platform
