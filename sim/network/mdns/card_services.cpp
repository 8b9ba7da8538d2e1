#include "sim/network/mdns/card_services.h"

#include <arpa/inet.h>

namespace sim {

std::vector<AdvertisedService> CardServices(const CardAdvert& card) {
  AdvertisedService arc;
  arc.instance = card.name;
  arc.type = kArcType;
  arc.subtypes = {kMakerSubtype};
  arc.host = card.host;
  arc.port = card.arcPort;
  arc.txt = TxtRecord(ArcTxtItems(card));
  arc.address = htonl(card.address);
  AdvertisedService cmc = arc;
  cmc.type = kCmcType;
  cmc.port = card.cmcPort;
  cmc.txt = TxtRecord(CmcTxtItems(card));
  return {arc, cmc};
}

}  // namespace sim
