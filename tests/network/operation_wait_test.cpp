// What a caller of our DNS-SD client waits on, without a network: the
// operation's descriptor becomes readable while replies wait and when
// something falls due, and not before. The same test runs against the epoll
// descriptor on Linux and the loopback "bell" socket on Windows.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "network/dnssd/operation.h"
#include "platform/net/socket_wait.h"

namespace {

// An operation with its wait but no sockets: nothing can arrive, so only
// replies and what is due can make it readable.
class OperationWait : public ::testing::Test {
 protected:
  void SetUp() override {
    op_.kind = mdns::OperationKind::Browse;
    op_.nextQueryMs = mdns::NowMs() + 3600 * 1000;  // nothing due for an hour
    ASSERT_EQ(mdns::OpenWait(&op_), 0);
    ASSERT_GE(mdns::WaitDescriptor(&op_), 0);
  }

  // How many of {descriptor} are readable within `ms`.
  int Readable(int ms) {
    std::vector<int> readable;
    return platform::net::WaitReadable({mdns::WaitDescriptor(&op_)}, ms, readable);
  }

  _DNSServiceRef_t op_;
};

TEST_F(OperationWait, WaitingRepliesRingAtOnceAndTakingTheWakeQuietsIt) {
  mdns::Rearm(&op_);
  EXPECT_EQ(Readable(0), 0);
  EXPECT_FALSE(mdns::TakeWake(&op_));

  op_.pending.push_back([](DNSServiceFlags) {});
  mdns::Rearm(&op_);
  EXPECT_EQ(Readable(0), 1);
  EXPECT_TRUE(mdns::TakeWake(&op_));
  EXPECT_FALSE(mdns::TakeWake(&op_));  // once per wake

  op_.pending.clear();
  mdns::Rearm(&op_);
  EXPECT_EQ(Readable(0), 0);
}

TEST_F(OperationWait, SomethingDueRingsWhenItFallsDueAndNotBefore) {
  const auto start = std::chrono::steady_clock::now();
  op_.nextQueryMs = mdns::NowMs() + 150;
  mdns::Rearm(&op_);
  EXPECT_EQ(Readable(0), 0);
  ASSERT_EQ(Readable(10000), 1);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(waited.count(), 100);
  EXPECT_TRUE(mdns::TakeWake(&op_));

  // Moving the due time later calls off the earlier ring.
  op_.nextQueryMs = mdns::NowMs() + 50;
  mdns::Rearm(&op_);
  op_.nextQueryMs = mdns::NowMs() + 3600 * 1000;
  mdns::Rearm(&op_);
  EXPECT_EQ(Readable(200), 0);
}

TEST_F(OperationWait, ClosingWhileSomethingIsDueLeavesNoDescriptor) {
  op_.nextQueryMs = mdns::NowMs();
  mdns::Rearm(&op_);
  mdns::CloseWait(&op_);
  EXPECT_EQ(mdns::WaitDescriptor(&op_), -1);
  EXPECT_FALSE(mdns::TakeWake(&op_));
  mdns::Rearm(&op_);  // a closed wait is left alone
}

}  // namespace
