// The discovery library's ground: identifiers, errors, time, socket sets,
// the environment's counting and logger, interface kinds.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "network/aud_types.h"
#include "platform/core/clock.h"
#include "platform/net/interfaces.h"

namespace {

aud_id Id(std::initializer_list<uint8_t> bytes) {
  aud_id id{};
  size_t i = 0;
  for (uint8_t b : bytes) id.data[i++] = b;
  return id;
}

TEST(AudId, TextFormsBothWays) {
  struct Case {
    aud_id id;
    const char* text;
  };
  const Case cases[] = {
      {Id({'Z', 'e', 'l', 'k'}), "Zelk"},
      {Id({1, 2}), "_0102"},
      {Id({}), "_00"},
      {Id({'_', 'a'}), "_5f61"},               // a leading underscore forces hex
      {Id({'a', 0, 'b'}), "_610062"},           // an inner zero byte too
      {Id({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}), "abcdefgh"},
      {Id({0xFF, 0, 0, 0, 0, 0, 0, 0x01}), "_ff00000000000001"},
  };
  for (const Case& c : cases) {
    char text[AUD_ID_TEXT_SIZE];
    EXPECT_STREQ(aud_id_to_text(&c.id, text), c.text);
    aud_id back{};
    ASSERT_TRUE(aud_id_from_text(&back, c.text)) << c.text;
    EXPECT_EQ(std::memcmp(back.data, c.id.data, 8), 0) << c.text;
  }
}

TEST(AudId, MalformedTextIsRefusedAndLeavesZeros) {
  for (const char* text : {"", "_", "_010", "_0", "_zz", "_0102030405060708aa", "ninechars", "_01 2"}) {
    aud_id id = Id({9, 9, 9});
    EXPECT_FALSE(aud_id_from_text(&id, text)) << text;
    EXPECT_EQ(id.data[0], 0) << text;
  }
  aud_id id{};
  EXPECT_TRUE(aud_id_from_text_length(&id, "ZelkXX", 4));  // a TXT value without terminator
  EXPECT_EQ(std::string(reinterpret_cast<char*>(id.data), 4), "Zelk");
  EXPECT_FALSE(aud_id_from_text_length(&id, "Ze\0k", 4));
  EXPECT_TRUE(aud_id_from_text(&id, "_AbCd"));
  EXPECT_EQ(id.data[0], 0xAB);
}

TEST(AudError, TableNamesTextsAndSystemErrors) {
  EXPECT_STREQ(aud_error_get_name(AUD_SUCCESS), "SUCCESS");
  EXPECT_STREQ(aud_error_message(AUD_ERR_DNSSDFAIL), "DNS-SD system failed");
  EXPECT_STREQ(aud_error_get_name(AUD_ERR_NOTRUNNING), "NOTRUNNING");
  EXPECT_STREQ(aud_error_message(AUD_ERR_NOTRUNNING), "not running");
  EXPECT_EQ(AUD_ERR_NOTRUNNING, 48u);
  EXPECT_STREQ(aud_error_get_name(static_cast<aud_error>(49)), "UNKNOWN");
  struct Case {
    int os;
    aud_error expected;
  };
  const Case cases[] = {
      {0, AUD_SUCCESS},           {EAGAIN, AUD_ERR_TIMEDOUT},          {EWOULDBLOCK, AUD_ERR_TIMEDOUT},
      {ETIMEDOUT, AUD_ERR_TIMEDOUT}, {EADDRINUSE, AUD_ERR_ADDRINUSE},  {ENETUNREACH, AUD_ERR_NETUNREACH},
      {EINTR, AUD_ERR_INTERRUPTED}, {EINVAL, AUD_ERR_INVALIDPARAMETER}, {ENOMEM, AUD_ERR_NOMEMORY},
      {ECONNREFUSED, AUD_ERR_CONNREFUSED}, {ENOTSOCK, AUD_ERR_NOTSOCK}, {EMSGSIZE, AUD_ERR_MSGSIZE},
      {EXDEV, AUD_ERR_SYSTEM},    {99999, AUD_ERR_SYSTEM},             {-1, AUD_ERR_SYSTEM},
  };
  for (const Case& c : cases) EXPECT_EQ(aud_error_from_system_error(c.os), c.expected) << c.os;
}

TEST(AudTime, NowFollowsThePlatformClockAndAddingCarries) {
  platform::VirtualClock clock(1000);
  clock.SetEpoch(1700000000);
  platform::Override<platform::Clock> use(clock);
  clock.Advance(2500);
  aud_time now = aud_time_now();
  EXPECT_EQ(now.seconds, 1700000002);
  EXPECT_EQ(now.microseconds, 500000);
  aud_time later = aud_time_add(now, aud_time{1, 600000});
  EXPECT_EQ(later.seconds, 1700000004);
  EXPECT_EQ(later.microseconds, 100000);
  EXPECT_EQ(aud_time_cmp(now, later), -1);
  EXPECT_EQ(aud_time_cmp(later, now), 1);
  EXPECT_EQ(aud_time_cmp(now, now), 0);
  EXPECT_EQ(aud_time_cmp(aud_time{5, 1}, aud_time{5, 2}), -1);
}

TEST(AudSocketSet, AddAndRemoveRules) {
  static aud_socket_set set;
  aud_socket_set_clear(&set);
  EXPECT_TRUE(aud_socket_set_add(&set, 7));
  EXPECT_TRUE(aud_socket_set_add(&set, 9));
  EXPECT_TRUE(aud_socket_set_add(&set, 7));  // already there: not twice
  EXPECT_EQ(set.n, 2);
  EXPECT_FALSE(aud_socket_set_remove(&set, 8));
  EXPECT_EQ(set.n, 2);
  EXPECT_TRUE(aud_socket_set_remove(&set, 7));
  EXPECT_EQ(set.n, 1);
  EXPECT_EQ(set.read.sockets[0], 9);  // later entries move up
  for (int s = 100; s < 100 + 1023; ++s) ASSERT_TRUE(aud_socket_set_add(&set, s));
  EXPECT_EQ(set.n, 1024);
  EXPECT_FALSE(aud_socket_set_add(&set, 5000));  // full
  EXPECT_EQ(set.n, 1024);
  EXPECT_EQ(set.write.count, 0u);
}

TEST(AudSocketSet, WaitKeepsOnlyReadableSocketsAboveTheSelectLimit) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, pair), 0);
  // Descriptors past 1023 would break select(); the wait must not care.
  int high = fcntl(pair[0], F_DUPFD_CLOEXEC, 1500);
  int quiet = fcntl(pair[1], F_DUPFD_CLOEXEC, 1600);
  if (high < 0 || quiet < 0) GTEST_SKIP() << "skipped: cannot open descriptors past 1500";
  static aud_socket_set set;
  aud_socket_set_clear(&set);
  aud_socket_set_add(&set, high);
  aud_socket_set_add(&set, quiet);
  EXPECT_EQ(aud_socket_set_wait(&set, 1), 0);
  EXPECT_EQ(set.n, 0);
  aud_socket_set_add(&set, high);
  aud_socket_set_add(&set, quiet);
  ASSERT_EQ(write(pair[1], "x", 1), 1);
  EXPECT_EQ(aud_socket_set_wait(&set, 100), 1);
  EXPECT_EQ(set.n, 1);
  EXPECT_TRUE(aud_socket_set_contains(&set, high));
  for (int fd : {pair[0], pair[1], high, quiet}) close(fd);
}

void Collect(void* context, unsigned, const char* line) { static_cast<std::string*>(context)->append(line); }

TEST(AudEnv, CountedSharedInstanceWithASilentLogger) {
  ASSERT_EQ(aud_env_reference_count(), 0u);
  EXPECT_EQ(aud_env_acquire(nullptr), AUD_ERR_INVALIDPARAMETER);
  aud_env a = nullptr, b = nullptr;
  ASSERT_EQ(aud_env_acquire(&a), AUD_SUCCESS);
  ASSERT_EQ(aud_env_acquire(&b), AUD_SUCCESS);
  EXPECT_EQ(a, b);
  EXPECT_EQ(aud_env_reference_count(), 2u);
  aud_log* log = aud_env_get_log(a);
  ASSERT_NE(log, nullptr);
  std::string lines;
  aud_log_set_callback(log, Collect, &lines);
  aud_log_printf(log, AUD_LOG_CRITICAL, "hidden %d\n", 1);  // threshold None: nothing
  EXPECT_EQ(lines, "");
  aud_log_set_threshold(log, AUD_LOG_WARNING);
  aud_log_printf(log, AUD_LOG_WARNING, "shown %s\n", "w");
  aud_log_printf(log, AUD_LOG_INFO, "too detailed\n");
  EXPECT_EQ(lines, "shown w\n");

  EXPECT_EQ(aud_env_release(a), AUD_SUCCESS);
  EXPECT_EQ(aud_env_reference_count(), 1u);
  EXPECT_EQ(aud_env_get_log(b), log);  // still alive after the first release
  EXPECT_EQ(aud_env_release(b), AUD_SUCCESS);
  EXPECT_EQ(aud_env_reference_count(), 0u);
  EXPECT_EQ(aud_env_release(b), AUD_ERR_INVALIDPARAMETER);  // one release too many changes nothing
  ASSERT_EQ(aud_env_acquire(&a), AUD_SUCCESS);
  EXPECT_EQ(aud_log_get_threshold(aud_env_get_log(a)), AUD_LOG_NONE);  // a fresh logger
  aud_env_release(a);
}

TEST(AudLog, LevelNames) {
  const char* expected[] = {"None", "Critical", "Error", "Warning", "Notice", "Info", "Debug", "Verbose", "Undef"};
  for (unsigned level = 0; level < 9; ++level) EXPECT_STREQ(aud_log_level_name(level), expected[level]);
  EXPECT_STREQ(aud_log_level_name(1000), "Undef");
}

TEST(Interfaces, KindsFromTheKernelsDescription) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / ("reflash-net-" + std::to_string(getpid()));
  fs::create_directories(root);
  auto make = [&](const std::string& name, std::initializer_list<std::pair<const char*, const char*>> files) {
    fs::create_directories(root / name);
    for (auto [file, content] : files) {
      if (std::string(file) == "dir") {
        fs::create_directories(root / name / content);
      } else {
        std::ofstream(root / name / file) << content << "\n";
      }
    }
  };
  make("wlan0", {{"dir", "wireless"}, {"dir", "device"}});
  make("wlp2s0", {{"dir", "phy80211"}, {"dir", "device"}});
  make("fw0", {{"type", "24"}, {"dir", "device"}});
  make("bnep0", {{"dir", "device"}});
  make("br0", {});
  make("eth0", {{"dir", "device"}, {"type", "1"}});
  struct Case {
    const char* name;
    bool loopback;
    int kind;
  };
  const Case cases[] = {{"lo", true, 2},      {"wlan0", false, 3}, {"wlp2s0", false, 3}, {"fw0", false, 5},
                        {"bnep0", false, 6},  {"br0", false, 4},   {"eth0", false, 1}};
  for (const Case& c : cases) EXPECT_EQ(platform::net::ClassifyInterface(root.string(), c.name, c.loopback), c.kind) << c.name;
  fs::remove_all(root);
}

TEST(Interfaces, ListIsSortedAndTheLoopbackIsFound) {
  aud_interface* list = nullptr;
  unsigned count = 0;
  ASSERT_EQ(aud_interface_list_with_env(nullptr, &list, &count), AUD_SUCCESS);
  ASSERT_GT(count, 0u);
  for (unsigned i = 1; i < count; ++i) {
    bool ordered = list[i - 1].kind < list[i].kind || (list[i - 1].kind == list[i].kind && list[i - 1].index < list[i].index);
    EXPECT_TRUE(ordered) << list[i].adapter_name;
  }
  aud_interface_list_free(list);
  aud_interface lo{};
  ASSERT_EQ(aud_interface_find_loopback(&lo), AUD_SUCCESS);
  EXPECT_TRUE(lo.loopback);
  EXPECT_EQ(lo.kind, 2);
  EXPECT_EQ(lo.pktinfo_index, lo.index);
}

}  // namespace
