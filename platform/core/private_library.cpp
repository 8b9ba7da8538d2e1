#include "platform/core/private_library.h"

#include <filesystem>
#include <system_error>

namespace platform {

std::string PrivateLibraryCandidate(const std::string& exeDir, const std::string& file, int row) {
  const std::string base = (!exeDir.empty() && exeDir.back() == '/') ? exeDir : exeDir + "/";
  if (row == 0) return base + "../" + kPrivateLibraryFolder + "/" + file;
  return base + file;
}

std::string PrivateLibraryPath(const std::string& file, const std::string& exeDir) {
  if (exeDir.empty()) return file;
  for (int row = 0; row < kPrivateLibraryCandidates; ++row) {
    const std::string candidate = PrivateLibraryCandidate(exeDir, file, row);
    std::error_code ignored;
    if (std::filesystem::is_regular_file(candidate, ignored)) return candidate;
  }
  return PrivateLibraryCandidate(exeDir, file, 0);
}

std::string PrivateLibraryPath(const std::string& file) { return PrivateLibraryPath(file, ExecutableDirectory()); }

}  // namespace platform
