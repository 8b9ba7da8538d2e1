// Linked into every test binary: makes the build's paths known to tests that
// run the real program, also when a test binary is started by hand.
#include <cstdlib>

namespace {

struct TestEnvironment {
  TestEnvironment() {
    setenv("REFLASH_BIN", REFLASH_TEST_BIN, 0);
    setenv("REFLASH_BUILD_DIR", REFLASH_TEST_BUILD_DIR, 0);
  }
};

const TestEnvironment environment;

}  // namespace
