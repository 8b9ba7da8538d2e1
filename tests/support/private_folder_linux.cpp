#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/private_folder.h"

namespace test_support {

bool OnlyTheUserMayEnter(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700 &&
         st.st_uid == ::geteuid();
}

}  // namespace test_support
