#include "sim/network/card_advert.h"

#include <cstdio>

namespace sim {

CardAdvert MakeCardAdvert(int index, uint32_t address) {
  CardAdvert card;
  card.name = "Orvella-ZI-RERAR-" + std::to_string(index + 1);
  card.host = "zi-rerar-" + std::to_string(index + 1);
  card.address = address;
  card.deviceId = 0x001DC1FFFE5A3B00ull + static_cast<uint64_t>(index + 1);
  return card;
}

std::vector<std::string> ArcTxtItems(const CardAdvert&) {
  return {"arcp_vers=2.7.1", "arcp_min=2.0.0", "router_vers=4.2.3", "router_info=ZI-RERAR", "mf=Zelk",
          "model=ZIRERAR"};
}

std::vector<std::string> CmcTxtItems(const CardAdvert& card) {
  char id[17];
  std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(card.deviceId));
  return {std::string("id=") + id, "process=0", "mf=Zelk", "model=ZIRERAR"};
}

std::vector<uint8_t> TxtRecord(const std::vector<std::string>& items) {
  std::vector<uint8_t> out;
  for (const std::string& item : items) {
    const size_t n = item.size() > 255 ? 255 : item.size();
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), item.begin(), item.begin() + static_cast<long>(n));
  }
  return out;
}

}  // namespace sim
