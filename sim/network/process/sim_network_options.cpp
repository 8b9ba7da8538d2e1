#include "sim/network/process/sim_network_options.h"

#include <charconv>
#include <cstdio>

namespace sim {
namespace {

bool ParseInt(const std::string& text, int low, int high, int& out) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
  out = value;
  return true;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& out) {
  if (text.empty() || text.size() % 2 != 0 || text.size() > 2 * 4096) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (error != std::errc() || end != text.data() + i + 2) return false;
    out.push_back(static_cast<uint8_t>(value));
  }
  return true;
}

struct FaultSwitch {
  const char* name;
  int Faults::*member;
};

constexpr FaultSwitch kFaultSwitches[] = {
    {"drop-ack-at-packet", &Faults::dropAckAtPacket},
    {"corrupt-stored-byte", &Faults::corruptStoredByte},
    {"pgm-err-at-packet", &Faults::pgmErrAtPacket},
    {"tx-err-at-packet", &Faults::txErrAtPacket},
    {"silent-from-packet", &Faults::silentFromPacket},
    {"verify-out-of-order-at", &Faults::verifyOutOfOrderAt},
    {"verify-byte-changed-at", &Faults::verifyByteChangedAt},
    {"verify-missing-at", &Faults::verifyMissingAt},
    {"duplicate-ack-at-packet", &Faults::duplicateAckAtPacket},
    {"forged-verify-at", &Faults::forgedVerifyAt},
};

}  // namespace

std::string UnresolvableName(int index) { return "Orvella-Unresolvable-" + std::to_string(index + 1); }

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case '\\': out.push_back('\\'); break;
      case 'x': {
        unsigned value = 0;
        if (i + 2 >= text.size()) return false;  // two digits must follow
        auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3) return false;
        out.push_back(static_cast<char>(value));
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

uint32_t CardAddress(int index) {
  return index == 0 ? 0x7F000001 : 0x7F000100 + static_cast<uint32_t>(index);
}

bool ParseAddress(const std::string& text, uint32_t& address) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
      d > 255) {
    return false;
  }
  address = a << 24 | b << 16 | c << 8 | d;
  return true;
}

std::string AddressText(uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string(address >> 16 & 255) + "." +
         std::to_string(address >> 8 & 255) + "." + std::to_string(address & 255);
}

bool SetUnitFault(Faults& faults, const std::string& name, int value) {
  for (const FaultSwitch& s : kFaultSwitches) {
    if (name != s.name) continue;
    faults.*s.member = value;
    return true;
  }
  return false;
}

std::vector<std::string> UnitFaultNames() {
  std::vector<std::string> names;
  for (const FaultSwitch& s : kFaultSwitches) names.push_back(s.name);
  return names;
}

bool ParseNetworkSimOptions(const std::vector<std::string>& args, NetworkSimOptions& options, std::string& error) {
  for (const std::string& arg : args) {
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    bool ok = eq != std::string::npos;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      ok = true;
    } else if (arg == "--no-advertise") {
      options.advertise = false;
      ok = true;
    } else if (name == "--cards") {
      ok = ok && ParseInt(value, 1, kMaxCards, options.cards);
    } else if (name == "--address") {
      uint32_t address = 0;
      ok = ok && ParseAddress(value, address) && options.addresses.size() < kMaxCards;
      if (ok) options.addresses.push_back(address);
    } else if (name == "--name" || name == "--unresolvable-name") {
      // Device names are at most 31 characters.
      std::string text;
      ok = ok && Unescape(value, text) && !text.empty() && text.size() <= 31;
      auto& names = name == "--name" ? options.names : options.unresolvableNames;
      ok = ok && names.size() < static_cast<size_t>(name == "--name" ? kMaxCards : kMaxUnresolvable);
      if (ok) names.push_back(text);
    } else if (name == "--unresolvable") {
      ok = ok && ParseInt(value, 0, kMaxUnresolvable, options.unresolvable);
    } else if (name == "--drop-every") {
      ok = ok && ParseInt(value, 2, 1000000, options.network.dropEvery);
    } else if (name == "--silent-after") {
      ok = ok && ParseInt(value, 0, 100000000, options.network.silentAfter);
    } else if (name == "--lose-completions") {
      ok = ok && ParseInt(value, 0, 100000000, options.network.loseCompletions);
    } else if (name == "--lose-serial-commits") {
      ok = ok && ParseInt(value, 0, 100000000, options.network.loseSerialCommits);
    } else if (name == "--flood-per-reply") {
      ok = ok && ParseInt(value, 0, 1000, options.network.floodPerReply);
    } else if (name == "--flood-port") {
      int port = 0;
      ok = ok && ParseInt(value, 1, 65535, port) && port != kUnitPort && port != kCardPort && port != kHostPort;
      if (ok) options.network.floodPort = static_cast<uint16_t>(port);
    } else if (name == "--fault") {
      // --fault=NAME=VALUE
      const size_t at = value.find('=');
      int number = 0;
      Faults probe;
      ok = ok && at != std::string::npos && ParseInt(value.substr(at + 1), -1, 100000000, number) &&
           SetUnitFault(probe, value.substr(0, at), number);
      if (ok) options.unitFaults.emplace_back(value.substr(0, at), number);
    } else if (name == "--inject-after") {
      ok = ok && ParseInt(value, 0, 100000000, options.injectAfter);
    } else if (name == "--inject-hex") {
      ok = ok && ParseHex(value, options.injectPayload);
    } else if (name == "--lifetime") {
      ok = ok && ParseInt(value, 1, kMaxLifetimeSeconds, options.lifetimeSeconds);
    } else {
      ok = false;
    }
    if (!ok) {
      error = "bad option: " + arg;
      return false;
    }
  }
  if (static_cast<int>(options.addresses.size()) > options.cards) options.cards = static_cast<int>(options.addresses.size());
  if (static_cast<int>(options.names.size()) > options.cards) options.cards = static_cast<int>(options.names.size());
  if (static_cast<int>(options.unresolvableNames.size()) > options.unresolvable) {
    options.unresolvable = static_cast<int>(options.unresolvableNames.size());
  }
  return true;
}

std::string NetworkSimUsage() {
  std::string faults;
  for (const std::string& name : UnitFaultNames()) faults += " " + name;
  return "usage: reflash-sim-network [options]\n"
         "Simulated Orvella(n) units behind ZI-RERAR cards on the network: advertises each card by\n"
         "multicast DNS on every interface and serves UDP ports 5645 (unit) and 5647 (card).\n"
         "  --cards=N            cards to simulate (1..16, default 1)\n"
         "  --address=A.B.C.D    address of the next card (default 127.0.0.1, then 127.0.1.N)\n"
         "  --name=TEXT          device name of the next card (escapes \\n \\t \\\\ \\xHH allowed)\n"
         "  --unresolvable=N     also advertise N of the maker's devices whose records never resolve\n"
         "                       (no arcp_vers in their TXT record), at 127.0.2.x (0..500)\n"
         "  --unresolvable-name=TEXT  name of the next such device (escapes as for --name)\n"
         "  --no-advertise       serve the cards but leave advertising them to another responder\n"
         "  --drop-every=N       lose every Nth datagram of a card's link\n"
         "  --silent-after=N     a card falls silent after taking N datagrams\n"
         "  --lose-completions=N the link loses the next N completion commands from the host\n"
         "  --lose-serial-commits=N the link loses the next N serial-number commits from the host\n"
         "  --flood-per-reply=N  with every reply the card's address also sends N datagrams from another port\n"
         "  --flood-port=PORT    that port (default 5650)\n"
         "  --fault=NAME=VALUE   a unit fault switch:" + faults + "\n"
         "  --inject-after=N     once the first card took N datagrams, send one datagram to the host's\n"
         "                       port 5646 from 127.0.0.2\n"
         "  --inject-hex=HEX     what that datagram holds (default: a status report of a programming error)\n"
         "  --lifetime=SECONDS   stop after this long (1..600, default 60); SIGTERM stops it too\n"
         "Prints \"ready\" once serving; at exit, and whenever a card's update completes, one line per card:\n"
         "  card N flash=LENGTH digest=HEX16 received=N sent=N dropped=N cancels=N completes=N\n"
         "(digest: 64-bit FNV-1a of what the card's flash holds).\n";
}

}  // namespace sim
