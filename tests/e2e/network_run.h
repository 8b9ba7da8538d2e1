#pragma once
// Runs of the real program against the network simulator, both on the
// test's private network: the checks that skip a test that cannot run, the
// simulator as a child, and a fixture whose folder holds a card image.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/run_process.h"
#include "tests/support/card_image.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"

// Skips the test unless it is in its private network with the program at hand.
#define REQUIRE_NETWORK_RUN()                                                  \
  do {                                                                         \
    REQUIRE_PRIVATE_NETWORK();                                                 \
    if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set"; \
  } while (0)

#ifdef REFLASH_TEST_SIM_NETWORK

namespace e2e {

// Discovery through our own DNS-SD library.
inline const std::string kOwnDnsSd = "REFLASH_DNSSD_LIBRARY='" REFLASH_TEST_OWN_DNSSD "'";

// The simulator with `args`; it ends by itself should the test not end it.
inline std::unique_ptr<test_support::NetworkSimulator> StartNetworkSimulator(const Sandbox& box,
                                                                             std::vector<std::string> args) {
  args.insert(args.begin(), "--lifetime=120");
  return std::make_unique<test_support::NetworkSimulator>(REFLASH_TEST_SIM_NETWORK, args, box.Dir() / "sim.txt");
}

// A test whose sandbox holds a 78,000-byte card image from `seed`, against
// a simulator that serves one card.
class CardImageRun : public ::testing::Test {
 protected:
  static constexpr size_t kImageSize = 78000;
  static constexpr size_t kPacket = 128;

  explicit CardImageRun(uint32_t seed) : seed_(seed) {}

  void SetUp() override {
    REQUIRE_NETWORK_RUN();
    image_ = test_support::FixedImage(kImageSize, seed_);
    path_ = box_.Dir() / "ZTDNT0102NC.BIN";
    test_support::WriteImage(path_, image_);
  }

  std::unique_ptr<test_support::NetworkSimulator> Simulator(std::vector<std::string> args) {
    args.insert(args.begin(), "--cards=1");
    return StartNetworkSimulator(box_, std::move(args));
  }

  // The simulator's report line for a card that holds the image.
  std::string FlashReportOfImage() const { return test_support::CardFlashReport(image_, kPacket); }

  Sandbox box_;
  std::vector<uint8_t> image_;
  std::filesystem::path path_;

 private:
  uint32_t seed_;
};

}  // namespace e2e

#endif
