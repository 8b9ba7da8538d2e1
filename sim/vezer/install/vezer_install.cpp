#include "sim/vezer/install/vezer_install.h"

#include <filesystem>
#include <system_error>

#include "platform/core/dynamic_library.h"
#include "platform/core/private_library.h"
#include "platform/files/files.h"
#include "transports/ztusb.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

// The simulated libraries are private libraries of this program (see
// sim/CMakeLists.txt for their names).
std::string BuiltLibrary(VezerLibrary library) {
  return platform::PrivateLibraryPath(platform::SharedLibraryFile(
      library == VezerLibrary::kComplete ? "tusbaudioapi" : "tusbaudioapi_partial"));
}

}  // namespace

std::string VezerDriverFolder::CandidateRelativePath(int row) {
  // The card updater's own list, below an empty folder, without the
  // leading separator.
  return platform::SharedLibraryName(CZTUSB::LibraryCandidate("", row)).substr(1);
}

VezerDriverFolder::VezerDriverFolder(int row, VezerLibrary library) : row_(row) {
  platform::Files& files = platform::Use<platform::Files>();
  std::string made = files.MakePrivateFolder(files.TempFolder());
  if (made.empty()) {
    error_ = "cannot make a program-files folder (error " + std::to_string(files.LastError()) + ")";
    made = "/nonexistent-reflash-program-files/";
  }
  folder_ = made.substr(0, made.size() - 1);
  service_ = std::make_unique<platform::FixedProgramFiles>(folder_);
  if (!error_.empty() || row_ < 0) return;

  const fs::path target = LibraryPath();
  const std::string built = BuiltLibrary(library);
  if (!fs::is_regular_file(built)) {
    error_ = "the simulated driver library is missing: " + built;
    return;
  }
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (!ec) fs::create_symlink(built, target, ec);
  // Where links need a privilege (Windows), a copy serves as well.
  if (ec) {
    ec.clear();
    fs::copy_file(built, target, ec);
  }
  if (ec) error_ = "cannot install " + target.string() + ": " + ec.message();
}

VezerDriverFolder::~VezerDriverFolder() {
  if (folder_.rfind("/nonexistent-", 0) == 0) return;
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::string VezerDriverFolder::LibraryPath() const {
  return row_ < 0 ? std::string() : folder_ + "/" + CandidateRelativePath(row_);
}

}  // namespace sim
