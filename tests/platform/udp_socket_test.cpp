// The UDP socket calls never wait: the network transport polls its receive
// socket from the window's timer, so a receive with nothing queued must
// come back at once on every system (Winsock has no MSG_DONTWAIT).
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "platform/net/udp_socket.h"

namespace {

TEST(UdpSocket, AReceiveWithNothingQueuedComesBackAtOnce) {
  int error = 0;
  const int s = platform::net::UdpOpen(&error);
  ASSERT_GE(s, 0) << error;
  ASSERT_EQ(platform::net::UdpBind(s, 0x7F000001, 0, &error), 0) << error;  // 127.0.0.1, any port
  const auto start = std::chrono::steady_clock::now();
  char buffer[16];
  EXPECT_EQ(platform::net::UdpReceive(s, buffer, sizeof buffer, nullptr, nullptr, &error), -1);
  EXPECT_EQ(error, EAGAIN);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  platform::net::UdpClose(s);
}

}  // namespace
