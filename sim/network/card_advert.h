#pragma once
// What a simulated ZI-RERAR card says about itself in DNS-SD: its device
// name, host name and address, and the two services a browse for the
// maker's devices looks for ("_netaudio-arc._udp" and "_netaudio-cmc._udp",
// both under the subtype "_Zelk") with TXT records the browse accepts.
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

inline constexpr const char* kArcType = "_netaudio-arc._udp";
inline constexpr const char* kCmcType = "_netaudio-cmc._udp";
inline constexpr const char* kMakerSubtype = "_Zelk";

struct CardAdvert {
  std::string name;  // device (instance) name, at most 31 characters
  std::string host;  // host label, without ".local"
  uint32_t address = 0;  // host order
  uint16_t arcPort = 4440;
  uint16_t cmcPort = 8800;
  uint64_t deviceId = 0;  // the conmon "id", 16 hex characters
};

// Card `index` (0-based) at `address`: "Orvella-ZI-RERAR-<index+1>" on host
// "zi-rerar-<index+1>", with a device id of its own.
CardAdvert MakeCardAdvert(int index, uint32_t address);

// TXT items ("key=value") of each service.
std::vector<std::string> ArcTxtItems(const CardAdvert& card);
std::vector<std::string> CmcTxtItems(const CardAdvert& card);

// TXT record data: length-prefixed strings (items over 255 bytes cut).
std::vector<uint8_t> TxtRecord(const std::vector<std::string>& items);

}  // namespace sim
