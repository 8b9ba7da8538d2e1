#pragma once
// What each operating system's backend tells EnvProgramFiles.
#include <string>

namespace platform {

// The system's own program-files folder, used when REFLASH_PROGRAM_FILES
// is unset or empty.
std::string SystemProgramFiles();
// True for a character that separates folders in a path.
bool IsFolderSeparator(char c);

}  // namespace platform
