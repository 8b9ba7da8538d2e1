#pragma once
// A simulated card's two DNS-SD services as the responder advertises them.
#include <vector>

#include "sim/network/card_advert.h"
#include "sim/network/mdns/mdns_responder.h"

namespace sim {

// The "_netaudio-arc._udp" and "_netaudio-cmc._udp" services of `card`,
// each under the maker's subtype, with the card's host and address.
std::vector<AdvertisedService> CardServices(const CardAdvert& card);

}  // namespace sim
