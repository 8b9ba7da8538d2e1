#pragma once
// A private program-files folder with the simulated VE-ZER driver library
// installed at one of the paths the card updater searches, as this
// platform names them. While a VezerDriverFolder's Service() is in force
// (platform::Override<platform::ProgramFiles>), CZTUSB finds the simulated
// driver there. The folder is deleted with the object.
#include <memory>
#include <string>

#include "platform/core/non_copyable.h"
#include "platform/core/program_files.h"
#include "transports/ztusb.h"

namespace sim {

enum class VezerLibrary {
  kComplete,           // all 27 entry points
  kWithoutDfuUpload,   // lacks TUSBAUDIO_StartDfuUpload
};

class VezerDriverFolder : platform::NonCopyable {
 public:
  // The candidates in search order, relative to the folder, as this
  // platform names them.
  static constexpr int kCandidates = CZTUSB::kLibraryCandidates;
  static std::string CandidateRelativePath(int row);

  // Installs `library` at candidate `row` (0..3), or nothing for a row
  // below 0 (a computer without the driver); Ready() tells whether it
  // worked (Error() says why not).
  explicit VezerDriverFolder(int row = 0, VezerLibrary library = VezerLibrary::kComplete);
  ~VezerDriverFolder();

  bool Ready() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  // The program-files folder, without a trailing separator.
  const std::string& Folder() const { return folder_; }
  // The full path of the installed library ("" when none).
  std::string LibraryPath() const;
  platform::ProgramFiles& Service() { return *service_; }

 private:
  int row_;
  std::string folder_;
  std::string error_;
  std::unique_ptr<platform::FixedProgramFiles> service_;
};

}  // namespace sim
