// The socket calls of the platform layer fail one way: -1, and the OS's
// reason as an errno name in *error. Nothing here sends a datagram.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/net/datagram_pair.h"
#include "platform/net/udp_addressed.h"
#include "platform/net/udp_socket.h"

namespace {

namespace net = platform::net;

struct Case {
  const char* what;
  std::function<int(int*)> call;
  int error;
};

void ExpectFailures(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_EQ(c.call(&error), -1) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
    EXPECT_EQ(c.call(nullptr), -1) << c.what << ": the same without asking why";
  }
}

TEST(SocketErrors, EveryFailureIsMinusOneWithTheErrno) {
  uint8_t buffer[16] = {};
  uint32_t from = 0, to = 0;
  uint16_t port = 0;

  // A socket that is closed: every call says so. Nothing is opened before
  // these run, so the number cannot have been given to another socket.
  int error = 0;
  const int closed = net::UdpOpen(&error);
  ASSERT_GE(closed, 0) << error;
  net::UdpClose(closed);
  ExpectFailures({
      {"bind", [&](int* e) { return net::UdpBind(closed, 0, 0, e); }, EBADF},
      {"non-blocking", [&](int* e) { return net::UdpSetNonBlocking(closed, e); }, EBADF},
      {"send", [&](int* e) { return net::UdpSendTo(closed, buffer, 1, 0x7F000001, 9, e); }, EBADF},
      {"receive", [&](int* e) { return net::UdpReceive(closed, buffer, sizeof buffer, &from, &port, e); }, EBADF},
      {"peek", [&](int* e) { return net::UdpPeek(closed, e); }, EBADF},
      {"report destination", [&](int* e) { return net::UdpReportDestination(closed, e); }, EBADF},
      {"receive addressed",
       [&](int* e) { return net::UdpReceiveAddressed(closed, buffer, sizeof buffer, &from, &port, &to, e); }, EBADF},
  });

  // An open socket with nothing queued: a receive that would wait.
  const int open = net::UdpOpen(&error);
  ASSERT_GE(open, 0) << error;
  ASSERT_EQ(net::UdpSetNonBlocking(open, &error), 0) << error;
  // A pair whose other end is gone refuses what is sent to it.
  int ends[2] = {-1, -1};
  ASSERT_EQ(net::DatagramPair(ends, &error), 0) << error;
  net::UdpClose(ends[1]);
  ExpectFailures({
      {"receive with none queued", [&](int* e) { return net::UdpReceive(open, buffer, sizeof buffer, nullptr, nullptr, e); },
       EAGAIN},
      {"peek with none queued", [&](int* e) { return net::UdpPeek(open, e); }, EAGAIN},
      {"send to a closed end", [&](int* e) { return net::DatagramSend(ends[0], "x", 1, e); }, ECONNREFUSED},
      {"receive from a closed end", [&](int* e) { return net::DatagramReceive(ends[0], buffer, sizeof buffer, e); },
       EAGAIN},
  });
  net::UdpClose(ends[0]);
  net::UdpClose(open);
}

}  // namespace
