#include "sim/vezer/install/vezer_install.h"

#include <filesystem>
#include <system_error>

#include "platform/files/files.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

// Where the build put the simulated libraries (set by sim/CMakeLists.txt).
const char* BuiltLibrary(VezerLibrary library) {
  return library == VezerLibrary::kComplete ? REFLASH_SIM_VEZER_LIBRARY : REFLASH_SIM_VEZER_PARTIAL_LIBRARY;
}

}  // namespace

std::string VezerDriverFolder::CandidateRelativePath(int row) {
  switch (row) {
    case 0:
      return "Zelk Acoustics/VE-ZER Audio Driver/tusbaudioapi.so";
    case 1:
      return "Zelk Acoustics/VE-ZER Audio Driver/ztusbaudapi.so";
    case 2:
      return "Tervik/Signalport 4x4 Driver/tervikaudapi.so";
    default:
      return "Zelk Acoustics/Vinto USB Audio Driver/VintoUSBapi.so";
  }
}

VezerDriverFolder::VezerDriverFolder(int row, VezerLibrary library) : row_(row) {
  platform::Files& files = platform::Use<platform::Files>();
  uint32_t code = 0;
  std::string made = files.MakePrivateFolder(files.TempFolder(), &code);
  if (made.empty()) {
    error_ = "cannot make a program-files folder (error " + std::to_string(code) + ")";
    made = "/nonexistent-reflash-program-files/";
  }
  folder_ = made.substr(0, made.size() - 1);
  service_ = std::make_unique<platform::FixedProgramFiles>(folder_);
  if (!error_.empty() || row_ < 0) return;

  const fs::path target = LibraryPath();
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  if (!ec) fs::create_symlink(BuiltLibrary(library), target, ec);
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
