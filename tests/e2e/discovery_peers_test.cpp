// The real program finds a ZI-RERAR card that an independent multicast DNS
// responder advertises, on a private network, and programs it: avahi-daemon
// on a bridge (it skips loopback), python3-zeroconf on loopback, and the
// network simulator's own responder. Each has been up a few seconds, so its
// announcements are over and the program must ask, as on a real network.
// The network simulator serves the card's UDP side; at the end it reports a
// digest of the card's flash, which must be the image's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/digest.h"
#include "tests/e2e/run_process.h"
#include "tests/support/network_simulator.h"
#include "tests/support/private_network.h"

namespace {

#if defined(REFLASH_TEST_SIM_NETWORK) && defined(REFLASH_TEST_NETWORK_DIR)

namespace fs = std::filesystem;
using e2e::Finished;
using e2e::Has;
using e2e::Sandbox;
using test_support::NetworkSimulator;

constexpr size_t kImageSize = 78000;
constexpr size_t kPacket = 128;
constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kAvahi = "/usr/sbin/avahi-daemon";
// What the program must see before it starts: a peer past its announcements.
constexpr auto kPeerUp = std::chrono::seconds(4);

// A peer in a child process, its standard output and error in a file.
class Peer {
 public:
  Peer(const std::vector<std::string>& argv, const fs::path& output) : output_(output) {
    std::ofstream(output_).flush();
    pid_ = fork();
    if (pid_ == 0) {
      if (!std::freopen(output_.c_str(), "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Peer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool WaitFor(const std::string& text, int limitMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (Output().find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  std::string Output() const { return test_support::ReadFile(output_); }

 private:
  fs::path output_;
  pid_t pid_ = -1;
};

class PeerCardRun : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PRIVATE_NETWORK();
    if (!std::getenv("REFLASH_BIN")) GTEST_SKIP() << "REFLASH_BIN is not set";
    image_.resize(kImageSize);
    uint32_t x = 0x5EED1234u;  // any fixed content that is not all one byte
    for (uint8_t& b : image_) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 16);
    }
    path_ = box_.Dir() / "ZTDNT0102NC.BIN";
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(image_.data()), image_.size());
  }

  std::unique_ptr<NetworkSimulator> Simulator(std::vector<std::string> args) {
    args.insert(args.begin(), {"--cards=1", "--lifetime=120"});
    auto sim = std::make_unique<NetworkSimulator>(REFLASH_TEST_SIM_NETWORK, args, box_.Dir() / "sim.txt");
    EXPECT_TRUE(sim->Ready()) << sim->Output();
    return sim;
  }

  // The program lists the card, programs the image, and the card holds it.
  void ProgramAndCheck(NetworkSimulator& sim) {
    Finished r = box_.Wait(box_.Start("--console --yes ZSLOT FILE=" + path_.string(),
                                      "REFLASH_DNSSD_LIBRARY='" REFLASH_TEST_OWN_DNSSD "'"),
                           120000);
    EXPECT_EQ(r.status, 0) << r.out << r.err << r.log;
    EXPECT_FALSE(Has(r.log, "Unable to locate an Orvella(n)!")) << r.log;
    EXPECT_TRUE(Has(r.log, "Found Orvella(n). Number Of Connections: 1\n")) << r.log;
    EXPECT_TRUE(Has(r.log, "EEPROM Programming Success")) << r.log;
    std::vector<uint8_t> flash = image_;
    flash.resize((kImageSize + kPacket - 1) / kPacket * kPacket, 0);  // the last packet as sent
    char line[96];
    std::snprintf(line, sizeof line, "card 1 flash=%zu digest=%016" PRIx64 " ", flash.size(),
                  platform::Digest(flash.data(), flash.size()));
    const std::string report = sim.Stop();
    EXPECT_TRUE(Has(report, line)) << report;
  }

  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

  Sandbox box_;
  std::vector<uint8_t> image_;
  fs::path path_;
};

TEST_F(PeerCardRun, AvahiDaemonOnABridgeAdvertisesTheCard) {
  if (access(kAvahi, X_OK) != 0) GTEST_SKIP() << "skipped: avahi-daemon is not installed";
  std::string why;
  if (!test_support::AddBridge("br0", "10.77.0.1/24", &why)) GTEST_SKIP() << "skipped: no bridge (" << why << ")";
  // The card's address is local (the simulator answers for it) without
  // being an address of any interface: to the program it is another host.
  ASSERT_EQ(std::system("ip route add local 10.77.0.20/32 dev br0 table local"), 0);

  const fs::path dir = box_.Dir() / "avahi";
  fs::create_directories(dir / "services");
  Write(dir / "avahi-daemon.conf",
        "[server]\nhost-name=reflash-e2e\ndomain-name=local\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=br0\n"
        "enable-dbus=no\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n"
        "publish-aaaa-on-ipv4=no\npublish-a-on-ipv6=no\n[reflector]\nenable-reflector=no\n[rlimits]\n");
  Write(dir / "hosts", "10.77.0.20 zi-rerar-1.local\n");
  const std::string service =
      "  <service>\n    <type>_netaudio-%s._udp</type>\n    <subtype>_Zelk._sub._netaudio-%s._udp</subtype>\n"
      "    <host-name>zi-rerar-1.local</host-name>\n    <port>%s</port>\n%s  </service>\n";
  auto txt = [](const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& i : items) out += "    <txt-record>" + i + "</txt-record>\n";
    return out;
  };
  auto fill = [&](const char* kind, const char* port, const std::string& records) {
    char text[2048];
    std::snprintf(text, sizeof text, service.c_str(), kind, kind, port, records.c_str());
    return std::string(text);
  };
  Write(dir / "services" / "card.service",
        "<?xml version=\"1.0\" standalone='no'?>\n<!DOCTYPE service-group SYSTEM \"avahi-service.dtd\">\n"
        "<service-group>\n  <name>Orvella-ZI-RERAR-1</name>\n" +
            fill("arc", "4440",
                 txt({"arcp_vers=2.7.1", "arcp_min=2.0.0", "router_vers=4.2.3", "router_info=ZI-RERAR", "mf=Zelk",
                      "model=ZIRERAR"})) +
            fill("cmc", "8800", txt({"id=001dc1fffe5a3b01", "process=0", "mf=Zelk", "model=ZIRERAR"})) +
            "</service-group>\n");

  auto sim = Simulator({"--no-advertise", "--address=10.77.0.20"});
  // Its own folders over the system's, in a mount namespace of its own:
  // nothing of this machine's avahi set-up is read or touched.
  const std::string d = dir.string();
  Peer avahi({"unshare", "-m", "sh", "-c",
              "mount -t tmpfs none /run && mkdir -p /run/avahi-daemon && mount --bind '" + d +
                  "/services' /etc/avahi/services && mount --bind '" + d + "/hosts' /etc/avahi/hosts && exec " +
                  kAvahi + " -f '" + d + "/avahi-daemon.conf' --no-drop-root --no-chroot --no-rlimits"},
             dir / "log.txt");
  ASSERT_TRUE(avahi.WaitFor("Service \"Orvella-ZI-RERAR-1\" (/etc/avahi/services/card.service) successfully "
                            "established",
                            20000))
      << avahi.Output();
  std::this_thread::sleep_for(kPeerUp);
  ProgramAndCheck(*sim);
}

TEST_F(PeerCardRun, Python3ZeroconfAdvertisesTheCardUnderTheSubtypeWithoutUnderscore) {
  if (std::system((std::string(kPython) + " -c 'import zeroconf' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "skipped: python3-zeroconf is not installed for " << kPython;
  }
  auto sim = Simulator({"--no-advertise"});
  Peer zeroconf({kPython, REFLASH_TEST_NETWORK_DIR "/zeroconf_peer.py", "card", "120"}, box_.Dir() / "peer.txt");
  ASSERT_TRUE(zeroconf.WaitFor("ready\n", 20000)) << zeroconf.Output();
  std::this_thread::sleep_for(kPeerUp);
  ProgramAndCheck(*sim);
}

TEST_F(PeerCardRun, TheSimulatorsOwnResponderAdvertisesTheCard) {
  auto sim = Simulator({});
  std::this_thread::sleep_for(kPeerUp);
  ProgramAndCheck(*sim);
}

#else

TEST(PeerCardRun, NeedsTheNetworkSimulator) { GTEST_SKIP() << "this build has no network simulator"; }

#endif

}  // namespace
