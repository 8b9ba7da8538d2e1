#include "app/run_report.h"

#include <cstdio>

#include "protocol/orvella_interface.h"
#include "protocol/orvella_remote.h"

namespace {

// Bytes a 128-byte packet costs on a MIDI wire: its SysEx frame, the status
// polls while the unit takes it and their answers (measured on the wire
// trace of a main-image download).
constexpr uint32_t kMidiBytesPerPacket = 186;
constexpr uint32_t kMidiBytesPerSecond = 31250 / 10;  // 8 data bits, start and stop
// The host driver and the network are round-trip bound.
constexpr uint32_t kFastLinkUsPerPacket = 2000;
constexpr uint32_t kPacketBytes = COrvellaRemote::kPacketSize;

std::string Clock(uint32_t ms) {
  const uint32_t s = ms / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
  return text;
}

}  // namespace

std::string SummaryLine(const UpdateSummary& s) {
  std::string line = "Update: " + s.device + ", serial number " + s.serial + ", firmware " + s.oldVersion + " -> " +
                     s.newVersion;
  if (!s.bank.empty()) line += ", " + s.bank;
  line += ", image " + s.image + " (" + std::to_string(s.imageBytes) + " bytes), took " + Clock(s.durationMs) + ", " +
          s.result;
  return line;
}

uint32_t EstimateTransferSeconds(uint16_t interfaceType, uint32_t imageBytes) {
  const uint64_t packets = (uint64_t{imageBytes} + kPacketBytes - 1) / kPacketBytes;
  switch (interfaceType) {
    case kTransportMidi:
      return static_cast<uint32_t>((packets * kMidiBytesPerPacket + kMidiBytesPerSecond - 1) / kMidiBytesPerSecond);
    case kTransportDriver:
    case kTransportNetwork:
      return static_cast<uint32_t>((packets * kFastLinkUsPerPacket + 999999) / 1000000);
    default:
      return 0;
  }
}

std::string DurationText(uint32_t seconds) {
  if (seconds < 90) {
    const uint32_t shown = seconds < 10 ? 10 : (seconds + 9) / 10 * 10;
    return "about " + std::to_string(shown) + " seconds";
  }
  const uint32_t minutes = (seconds + 59) / 60;
  if (minutes < 90) return "about " + std::to_string(minutes) + " minutes";
  const uint32_t hours = minutes / 60;
  const uint32_t rest = minutes % 60;
  std::string text = "about " + std::to_string(hours) + (hours == 1 ? " hour" : " hours");
  if (rest) text += " " + std::to_string(rest) + (rest == 1 ? " minute" : " minutes");
  return text;
}
