#pragma once
// A test with the simulator's responder serving the loopback interface of
// a private network; skipped where no private network can be made. Tests
// that add to SetUp call this one first and stop when it did not finish.
#include <gtest/gtest.h>

#include "tests/network/test_responder.h"
#include "tests/support/private_network.h"

namespace test_support {

class LoopbackResponderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    lo_ = InterfaceIndex("lo");
    ASSERT_TRUE(responder_.Open({lo_}));
  }
  // False when the base SetUp skipped the test or failed.
  bool Ready() const { return !IsSkipped() && !HasFailure(); }

  unsigned lo_ = 0;
  TestResponder responder_;
};

}  // namespace test_support
