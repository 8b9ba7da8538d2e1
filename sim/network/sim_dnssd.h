#pragma once
// The DNS-SD client API answered in-process from the simulated cards, for
// the DNS-SD binding to load instead of the real library: browses of the
// cards' two service types (with or without the maker's subtype) report
// every card, resolves give the card's host, port and TXT record, and A
// queries its address. Each operation has a socket pair of its own whose
// descriptor is readable (a one-byte peek succeeds) while replies wait for
// DNSServiceProcessResult. Replies carry kSimInterface, which is no real
// interface, so nothing takes a card for one on this computer.
#include <string>
#include <vector>

#include "platform/core/dynamic_library.h"
#include "platform/core/non_copyable.h"
#include "sim/network/card_advert.h"

namespace sim {

inline constexpr uint32_t kSimInterface = 0x51A0;

// The cards the API answers about. While an object lives, it is the one
// the API functions use (the latest made, when several live).
class SimDnsSd : platform::NonCopyable {
 public:
  SimDnsSd();
  ~SimDnsSd();

  void AddCard(const CardAdvert& card) { cards_.push_back(card); }
  const std::vector<CardAdvert>& Cards() const { return cards_; }
  // In-process operations started and not yet deallocated (all objects'),
  // kept by the API functions. An operation may outlive the object it
  // answered from; it only ever touches its own replies.
  static int LiveOperations();

  // The API function `symbol` (one of the eleven the binding resolves), or null.
  static void* Function(const char* symbol);
  // The object in force, or null.
  static SimDnsSd* Current();

 private:
  std::vector<CardAdvert> cards_;
  SimDnsSd* previous_;
};

// Dynamic libraries where the DNS-SD library is the in-process one and
// every other library is loaded by `real`.
class SimDnsSdLibraries final : public platform::DynamicLibraries {
 public:
  explicit SimDnsSdLibraries(platform::DynamicLibraries& real) : real_(real) {}
  platform::LibraryHandle Load(const std::string& name) override;
  void* Symbol(platform::LibraryHandle library, const char* symbol) override;
  void Unload(platform::LibraryHandle library) override;
  std::string LastError() override;

 private:
  platform::DynamicLibraries& real_;
  std::string lastError_;
};

}  // namespace sim
