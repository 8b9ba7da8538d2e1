#include "app/entry_details.h"

#include <cstdio>

#include "app/firmware_images.h"
#include "app/image_checks.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

namespace {

constexpr uint16_t kRegModule = 25;
constexpr uint8_t kNoFirmwareMajor = 63;
// Room for an entry's description: 260 characters for a module or card
// (as while searching), 256 for a unit's own.
constexpr int kSearchText = 260;
constexpr int kSelectedText = 256;

}  // namespace

CEntryDetails CEntryDetails::Read(COrvellaRemote& remote, uint32_t word, bool cardModeFixed) {
  CEntryDetails d;
  // Kind of the entry.
  d.m_bModuleMode = !cardModeFixed && (word & kModuleEntry) != 0;
  d.m_bCardMode = cardModeFixed || (!d.m_bModuleMode && (word & kCardEntry) != 0);

  // Selection on the remote. A transport that knows no module index
  // (bit 15) keeps the unit's own connection, which carries the module.
  d.m_nConnection = static_cast<uint16_t>(word & 0xFFFF);
  uint16_t describe = d.m_nConnection;
  if (remote.SelectConnection(d.m_nConnection) != 0 && (d.m_nConnection & kModuleEntry)) {
    describe = static_cast<uint16_t>(d.m_nConnection & ~kModuleEntry);
    remote.SelectConnection(describe);
  }

  // Device id and entry text, then what the device reports of itself.
  // Only the register copy is read from here on: nothing waits.
  char description[kSearchText] = {};
  if (d.m_bModuleMode) {
    remote.GetConnectionDescription(describe, description, kSearchText, &d.m_nDeviceId);
    d.m_szDeviceName = description;
    uint8_t module = 0;
    remote.ReadRegister(kRegModule, &module);
    if (module == kModuleZmDig) {
      d.m_nDeviceId = kModuleZmDig;
      d.m_szDeviceName = std::string("ZM-DIG in ") + description;
    }
    // The module has no serial number and reports no version of its own.
    if (remote.GetSerialNumber(&d.m_dwUnitSerialNumber) != 0) d.m_dwUnitSerialNumber = 0;
    d.m_nPcbRevision = module & 0x03;
    d.m_nFirmwareMajor = 1;
    d.m_nFirmwareMinor = 0;
  } else if (d.m_bCardMode) {
    remote.GetConnectionDescription(describe, description, kSearchText, &d.m_nDeviceId);
    remote.GetCardID(&d.m_nDeviceId);
    d.m_szDeviceName = std::string(CardName(d.m_nDeviceId)) + " in " + description;
    remote.GetZSlotSerialNumber(&d.m_dwSerialNumber);
    remote.GetCardPCBRevision(&d.m_nPcbRevision);
    remote.GetCardFirmwareVersion(&d.m_nFirmwareMajor, &d.m_nFirmwareMinor);
  } else {
    remote.GetConnectionDescription(describe, description, kSelectedText, &d.m_nDeviceId);
    d.m_szDeviceName = description;
    remote.GetSerialNumber(&d.m_dwSerialNumber);
    remote.GetPCBRevision(&d.m_nPcbRevision);
    remote.GetFirmwareMajor(&d.m_nFirmwareMajor);
    remote.GetFirmwareMinor(&d.m_nFirmwareMinor);
  }
  if (FirmwarePresent(d.m_nFirmwareMajor, d.m_nFirmwareMinor)) {
    LookupFirmwareDate(d.m_nFirmwareMajor, &d.m_nFirmwareDate, d.m_nDeviceId, false, &remote);
  }
  return d;
}

bool CEntryDetails::ShowsSerialRows() const { return !m_bModuleMode; }

bool CEntryDetails::ShowsPromBank() const { return !m_bModuleMode && !m_bCardMode; }

bool CEntryDetails::ChecksPromSwitches() const { return !m_bCardMode; }

// A ZT-HD image, say, has no run of its own and would go into the unit's PROM.
uint8_t CEntryDetails::WriteTarget(uint8_t imageId) const {
  switch (imageId) {
    case kCardVeZer:
      return kCardVeZer;  // the card's own USB download
    case kCardZiRerar:
      return m_bCardMode ? m_nDeviceId : kProductOrvellaN;
    default:
      return m_bModuleMode ? kModuleZmDig : kProductOrvellaN;
  }
}

// A card or module is not "the Orvella(n)", though the unit is still what
// must be powered off.
std::string CEntryDetails::UpdatedText() const {
  if (m_bCardMode || m_bModuleMode) return "the " + DeviceKindName(m_nDeviceId) + " in the Orvella(n)";
  return "the Orvella(n)";
}

std::string CEntryDetails::SerialOwner() const { return m_bCardMode ? DeviceKindName(m_nDeviceId) : "Orvella(n)"; }

uint32_t CEntryDetails::HeldSerialNumber(uint32_t shown) const {
  return m_bModuleMode ? m_dwUnitSerialNumber : shown;
}

int CEntryDetails::WriteSerialNumber(COrvellaRemote& remote, uint32_t serial) const {
  return m_bCardMode ? remote.WriteZSlotSerialNumber(serial) : remote.WriteSerialNumber(serial);
}

// ------------------------------------------------------------- field rules

std::string ManufactureDate(uint32_t serial) {
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // February counts 28 days in every year: the week alone places the date.
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int week = static_cast<int>((serial >> 12) & 0x3F);
  const int year = 2000 + static_cast<int>((((serial >> 18) & 0x03) << 4) | ((serial >> 20) & 0x0F));
  int day = (week - 1) * 7 + 1;
  if (day < 1 || day > 365) return {};
  int month = 0;
  while (day > kDays[month]) {
    day -= kDays[month];
    ++month;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%s %02d, %04d", kMonths[month], day, year);
  return text;
}

bool FirmwarePresent(uint8_t major, uint8_t minor) { return major != kNoFirmwareMajor && !(major == 0 && minor == 0); }

std::string FirmwareVersionText(uint8_t major, uint8_t minor) {
  if (!FirmwarePresent(major, minor)) return "Not Present";
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d", major, minor);
  return text;
}

std::string PcbRevisionText(uint8_t revision) {
  if (revision == 0) return "NC";
  return std::string(1, static_cast<char>(revision + 64));
}

const char* CardName(uint8_t cardId) {
  static const struct {
    uint8_t id;
    const char* name;
  } kNames[] = {{kCardZtMadi, "ZT-MADI"}, {kCardZiRerar, "ZI-RERAR"}, {kCardZtHd, "ZT-HD"},
                {kCardZtFw, "ZT-FW"},     {kCardVeZer, "VE-ZER"}};
  for (const auto& card : kNames) {
    if (card.id == cardId) return card.name;
  }
  return "Unknown";
}
