#pragma once
// Whether a folder the program made for itself is closed to everyone but
// the user who runs it: mode 0700 on Linux, an access list that grants
// the user alone (and the system itself) on Windows.
#include <string>

namespace test_support {

bool OnlyTheUserMayEnter(const std::string& folder);

}  // namespace test_support
