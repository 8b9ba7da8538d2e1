// reflash-sim-network: simulated units behind ZI-RERAR cards on a real
// (test) network, for end-to-end runs of the network transport. One thread,
// one poll loop; it stops by itself after its lifetime or on SIGTERM.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/files/digest.h"
#include "platform/net/socket_wait.h"
#include "platform/session/abort_signals.h"
#include "protocol/codec.h"
#include "sim/network/card_advert.h"
#include "sim/network/card_endpoints.h"
#include "sim/network/card_unit.h"
#include "sim/network/mdns/card_services.h"
#include "sim/network/mdns/mdns_responder.h"
#include "sim/network/process/sim_network_options.h"
#include "sim/network/process/udp_card_server.h"

namespace {

using sim::CardEndpoints;
using sim::UnitModel;

void Report(int index, UnitModel& unit, const CardEndpoints::Card& card) {
  const std::vector<uint8_t>& flash = unit.CardFlash();
  std::printf("card %d flash=%zu digest=%016" PRIx64 " received=%d sent=%d dropped=%d cancels=%d completes=%d\n",
              index + 1, flash.size(), platform::Digest(flash.data(), flash.size()), card.counts.received,
              card.counts.sent, card.counts.dropped, unit.CancelCount(), unit.CardCompleteCount());
  std::fflush(stdout);
}

// What a stray sender would most like the host to believe: the packet in
// flight failed.
std::vector<uint8_t> ProgrammingErrorReport() {
  const uint8_t status = sim::kStatusPgmErr;
  std::vector<uint8_t> message(codec::RegisterDataLength(9, 1));
  codec::BuildRegisterData(message.data(), 9, &status, 1);
  return message;
}

// The maker's devices that never resolve, advertised by responders of
// their own (a few devices each, as separate boxes on a network answer).
constexpr int kDevicesPerResponder = 10;

std::vector<std::unique_ptr<sim::MdnsResponder>> UnresolvableResponders(const sim::NetworkSimOptions& options) {
  std::vector<std::unique_ptr<sim::MdnsResponder>> responders;
  for (int i = 0; i < options.unresolvable; ++i) {
    if (i % kDevicesPerResponder == 0) responders.push_back(std::make_unique<sim::MdnsResponder>());
    sim::CardAdvert device = sim::MakeCardAdvert(sim::kMaxCards + i, 0x7F000201 + static_cast<uint32_t>(i));
    device.name = i < static_cast<int>(options.unresolvableNames.size()) ? options.unresolvableNames[i]
                                                                          : sim::UnresolvableName(i);
    device.host = "unresolvable-" + std::to_string(i + 1);
    std::vector<sim::AdvertisedService> services = sim::CardServices(device);
    std::vector<std::string> items;
    for (const std::string& item : sim::ArcTxtItems(device)) {
      if (item.rfind("arcp_vers=", 0) != 0) items.push_back(item);
    }
    services[0].txt = sim::TxtRecord(items);  // the media service's
    for (const sim::AdvertisedService& s : services) responders.back()->Add(s);
  }
  return responders;
}

// A name on one line of the report, whatever it holds.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  sim::NetworkSimOptions options;
  std::string error;
  if (!sim::ParseNetworkSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "reflash-sim-network: %s\n%s", error.c_str(), sim::NetworkSimUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(sim::NetworkSimUsage().c_str(), stdout);
    return 0;
  }
  platform::InstallAbortSignals();

  std::vector<std::unique_ptr<UnitModel>> units;
  CardEndpoints cards;
  // The cards' responder first, then those of the devices that never resolve.
  std::vector<std::unique_ptr<sim::MdnsResponder>> responders = UnresolvableResponders(options);
  responders.insert(responders.begin(), std::make_unique<sim::MdnsResponder>());
  sim::MdnsResponder& responder = *responders.front();
  for (int i = 0; i < options.cards; ++i) {
    const uint32_t address = i < static_cast<int>(options.addresses.size()) ? options.addresses[i] : sim::CardAddress(i);
    units.push_back(std::make_unique<UnitModel>(sim::ZiRerarUnit(i)));
    for (const auto& [name, value] : options.unitFaults) sim::SetUnitFault(units.back()->faults(), name, value);
    cards.AddCard(address, units.back().get()).faults = options.network;
    sim::CardAdvert advert = sim::MakeCardAdvert(i, address);
    if (i < static_cast<int>(options.names.size())) advert.name = options.names[i];
    for (const sim::AdvertisedService& s : sim::CardServices(advert)) responder.Add(s);
  }

  sim::UdpCardServer server(cards);
  if (!server.Open(error)) {
    std::fprintf(stderr, "reflash-sim-network: %s\n", error.c_str());
    return 1;
  }
  // With --no-advertise another responder advertises the cards.
  if (!options.advertise) responders.erase(responders.begin());
  for (auto& r : responders) {
    if (!r->Open({})) {
      std::fprintf(stderr, "reflash-sim-network: no multicast interface to advertise on\n");
      return 1;
    }
    for (unsigned interface : r->Interfaces()) r->Announce(interface);
  }
  for (size_t i = 0; i < cards.Cards().size(); ++i) {
    const std::string name =
        i < options.names.size() ? options.names[i] : sim::MakeCardAdvert(static_cast<int>(i), 0).name;
    std::printf("card %zu %s at %s\n", i + 1, Printable(name).c_str(),
                sim::AddressText(cards.Cards()[i]->address).c_str());
  }
  std::printf("ready\n");
  std::fflush(stdout);

  const std::vector<uint8_t> injection = options.injectPayload.empty() ? ProgrammingErrorReport() : options.injectPayload;
  bool injected = false;
  std::vector<int> completions(units.size(), 0);
  const uint32_t start = platform::TickCount();
  const uint32_t lifetimeMs = static_cast<uint32_t>(options.lifetimeSeconds) * 1000;
  bool announcedAgain = false;
  while (platform::AbortSignal() == 0 && platform::TickCount() - start < lifetimeMs) {
    std::vector<int> sockets = server.Sockets();
    for (auto& r : responders) sockets.push_back(r->fd());
    std::vector<int> readable;
    // Short waits keep time-driven replies (erase done) close to their time.
    platform::net::WaitReadable(sockets, 5, readable);
    server.Serve();
    for (auto& r : responders) r->Serve();
    if (!announcedAgain && platform::TickCount() - start >= 1000) {
      announcedAgain = true;  // a second announcement, as a starting responder makes
      for (auto& r : responders) {
        for (unsigned interface : r->Interfaces()) r->Announce(interface);
      }
    }
    if (!injected && options.injectAfter >= 0 && cards.Cards().front()->counts.received >= options.injectAfter) {
      injected = server.Inject(sim::kInjectorAddress, injection);
      if (injected) {
        std::printf("injected %zu bytes from %s\n", injection.size(), sim::AddressText(sim::kInjectorAddress).c_str());
        std::fflush(stdout);
      }
    }
    for (size_t i = 0; i < units.size(); ++i) {
      if (units[i]->CardCompleteCount() == completions[i]) continue;
      completions[i] = units[i]->CardCompleteCount();
      Report(static_cast<int>(i), *units[i], *cards.Cards()[i]);
    }
  }
  // Browsers forget the cards now rather than when their records expire.
  for (auto& r : responders) {
    for (unsigned interface : r->Interfaces()) {
      for (const sim::AdvertisedService& s : r->services()) r->Goodbye(s, interface);
    }
  }
  for (size_t i = 0; i < units.size(); ++i) Report(static_cast<int>(i), *units[i], *cards.Cards()[i]);
  std::printf("exit\n");
  return 0;
}
