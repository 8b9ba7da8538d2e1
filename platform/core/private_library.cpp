#include "platform/core/private_library.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace platform {

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return std::string();
  std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string PrivateLibraryCandidate(const std::string& exeDir, const std::string& file, int row) {
  const std::string base = (!exeDir.empty() && exeDir.back() == '/') ? exeDir : exeDir + "/";
  if (row == 0) return base + "../" + kPrivateLibraryFolder + "/" + file;
  return base + file;
}

std::string PrivateLibraryPath(const std::string& file, const std::string& exeDir) {
  if (exeDir.empty()) return file;
  for (int row = 0; row < kPrivateLibraryCandidates; ++row) {
    const std::string candidate = PrivateLibraryCandidate(exeDir, file, row);
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return candidate;
  }
  return PrivateLibraryCandidate(exeDir, file, 0);
}

std::string PrivateLibraryPath(const std::string& file) { return PrivateLibraryPath(file, ExecutableDirectory()); }

}  // namespace platform
