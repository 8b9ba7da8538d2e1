// The idle wait over Winsock: it blocks on the watched sockets and on the
// thread's message queue, ends at once for what is already queued, and
// leaves the wait to the clock when nothing is watched. Real sockets on
// the loopback address and real time, with generous bounds.
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/core/input_wait.h"
#include "platform/net/datagram_pair.h"
#include "platform/net/udp_socket.h"

namespace {

using Ms = std::chrono::milliseconds;

class Win32InputWait : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(platform::net::DatagramPair(ends_), 0); }
  void TearDown() override {
    wait_.Forget(ends_[0]);
    platform::net::UdpClose(ends_[0]);
    platform::net::UdpClose(ends_[1]);
  }
  // How long `wait_.Wait(ms)` took, and what it returned.
  Ms Timed(uint32_t ms, bool* result) {
    const auto start = std::chrono::steady_clock::now();
    *result = wait_.Wait(ms);
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
  }

  platform::InputWait& wait_ = platform::Use<platform::InputWait>();
  int ends_[2] = {-1, -1};
};

TEST_F(Win32InputWait, WithNothingWatchedTheClockWaitsInstead) {
  bool waited = true;
  EXPECT_LT(Timed(2000, &waited), Ms(1000));
  EXPECT_FALSE(waited);
  // A socket forgotten again leaves nothing watched.
  wait_.Watch(ends_[0]);
  wait_.Forget(ends_[0]);
  EXPECT_LT(Timed(2000, &waited), Ms(1000));
  EXPECT_FALSE(waited);
}

TEST_F(Win32InputWait, AQuietSocketHoldsTheWaitForItsTimeAndReceivesNeverBlock) {
  wait_.Watch(ends_[0]);
  wait_.Watch(ends_[0]);  // once is enough
  bool waited = false;
  EXPECT_GE(Timed(60, &waited), Ms(50));
  EXPECT_TRUE(waited);
  // Watching must leave the socket as the receive expects it: nothing
  // queued is EAGAIN at once, never a wait.
  char byte = 0;
  int error = 0;
  EXPECT_EQ(platform::net::UdpReceive(ends_[0], &byte, 1, nullptr, nullptr, &error), -1);
  EXPECT_EQ(error, EAGAIN);
}

TEST_F(Win32InputWait, ADatagramQueuedOrArrivingEndsTheWait) {
  wait_.Watch(ends_[0]);
  bool waited = false;
  // Queued before the wait (its arrival was signalled and reset already).
  ASSERT_EQ(platform::net::DatagramSend(ends_[1], "a", 1), 1);
  EXPECT_LT(Timed(5000, &waited), Ms(1000));
  EXPECT_LT(Timed(5000, &waited), Ms(1000)) << "still queued: still no wait";
  char buffer[4];
  ASSERT_EQ(platform::net::DatagramReceive(ends_[0], buffer, sizeof buffer), 1);

  // Arriving while the wait blocks.
  std::thread peer([&] {
    std::this_thread::sleep_for(Ms(100));
    platform::net::DatagramSend(ends_[1], "b", 1);
  });
  const Ms took = Timed(10000, &waited);
  peer.join();
  EXPECT_TRUE(waited);
  EXPECT_LT(took, Ms(5000));
  EXPECT_EQ(platform::net::DatagramReceive(ends_[0], buffer, sizeof buffer), 1);
}

TEST_F(Win32InputWait, AWindowMessageEndsTheWaitButOneAlreadySeenDoesNot) {
  wait_.Watch(ends_[0]);
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here on
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0));
  bool waited = false;
  EXPECT_LT(Timed(10000, &waited), Ms(5000));
  EXPECT_TRUE(waited);
  // Looked at but left in the queue: the next wait takes its full time
  // rather than returning at once for ever.
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_GE(Timed(60, &waited), Ms(50));
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(Win32Udp, AReceiveOnAFreshSocketNeverWaits) {
  int error = 0;
  const int s = platform::net::UdpOpen(&error);
  ASSERT_GE(s, 0) << error;
  ASSERT_EQ(platform::net::UdpBind(s, 0x7F000001, 0, &error), 0) << error;
  char byte = 0;
  const auto start = std::chrono::steady_clock::now();
  const int got = platform::net::UdpReceive(s, &byte, 1, nullptr, nullptr, &error);
  EXPECT_LT(std::chrono::steady_clock::now() - start, Ms(1000));
  EXPECT_EQ(got, -1);
  EXPECT_EQ(error, EAGAIN);
  platform::net::UdpClose(s);
}

}  // namespace
