#include "tests/support/card_peers.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/support/private_network.h"
#include "tests/support/text_files.h"

namespace test_support {

namespace fs = std::filesystem;

PeerProcess::PeerProcess(const std::vector<std::string>& argv, const fs::path& output) : output_(output) {
  std::ofstream(output_).flush();  // exists (empty) before the child writes
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

PeerProcess::~PeerProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

bool PeerProcess::WaitFor(const std::string& text, int limitMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (Output().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string PeerProcess::Output() const { return ReadFile(output_); }

bool PrepareAvahiNetwork(std::string* why) {
  if (!AddBridge("br0", "10.77.0.1/24", why)) return false;
  const std::string route = std::string("ip route add local ") + kAvahiCardAddress + "/32 dev br0 table local";
  if (std::system((route + " >/dev/null 2>&1").c_str()) != 0) {
    if (why) *why = "'" + route + "' failed";
    return false;
  }
  return true;
}

namespace {

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string Service(const std::string& kind, int port, const std::vector<std::string>& txt) {
  std::string out = "  <service>\n    <type>_netaudio-" + kind + "._udp</type>\n    <subtype>_Zelk._sub._netaudio-" +
                    kind + "._udp</subtype>\n    <host-name>zi-rerar-1.local</host-name>\n    <port>" +
                    std::to_string(port) + "</port>\n";
  for (const std::string& item : txt) out += "    <txt-record>" + item + "</txt-record>\n";
  return out + "  </service>\n";
}

}  // namespace

std::vector<std::string> AvahiCardPeer::Command(const fs::path& folder) {
  fs::create_directories(folder / "services");
  Write(folder / "avahi-daemon.conf",
        "[server]\nhost-name=reflash-peer\ndomain-name=local\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=br0\n"
        "enable-dbus=no\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n"
        "publish-aaaa-on-ipv4=no\npublish-a-on-ipv6=no\n[reflector]\nenable-reflector=no\n[rlimits]\n");
  Write(folder / "hosts", std::string(kAvahiCardAddress) + " zi-rerar-1.local\n");
  Write(folder / "services" / "card.service",
        "<?xml version=\"1.0\" standalone='no'?>\n<!DOCTYPE service-group SYSTEM \"avahi-service.dtd\">\n"
        "<service-group>\n  <name>Orvella-ZI-RERAR-1</name>\n" +
            Service("arc", 4440,
                    {"arcp_vers=2.7.1", "arcp_min=2.0.0", "router_vers=4.2.3", "router_info=ZI-RERAR", "mf=Zelk",
                     "model=ZIRERAR"}) +
            Service("cmc", 8800, {"id=001dc1fffe5a3b01", "process=0", "mf=Zelk", "model=ZIRERAR"}) +
            "</service-group>\n");
  const std::string d = folder.string();
  return {"unshare", "-m", "sh", "-c",
          "mount -t tmpfs none /run && mkdir -p /run/avahi-daemon && mount --bind '" + d +
              "/services' /etc/avahi/services && mount --bind '" + d + "/hosts' /etc/avahi/hosts && exec " +
              kAvahiDaemon + " -f '" + d + "/avahi-daemon.conf' --no-drop-root --no-chroot --no-rlimits"};
}

AvahiCardPeer::AvahiCardPeer(const fs::path& folder) : process_(Command(folder), folder / "log.txt") {}

bool AvahiCardPeer::Established(int limitMs) const {
  return process_.WaitFor(
      "Service \"Orvella-ZI-RERAR-1\" (/etc/avahi/services/card.service) successfully established", limitMs);
}

}  // namespace test_support
