#pragma once
// What the selected entry of the unit list stands for: a unit, the unit's
// ZM-DIG module, or its option card. One read per selection takes the
// entry's kind, connection, identity and current firmware from the remote;
// the window shows what it holds and asks it which parts of the update and
// serial-number runs apply. Every choice that differs by kind is made here.
//
// Also the rules that turn a device's values into the window's texts.
#include <cstdint>
#include <string>

class COrvellaRemote;

// Entry-word flags of the unit list: bit 15 marks a module entry (and is
// part of the index the remote is handed), bit 16 a card entry.
constexpr uint32_t kModuleEntry = 0x8000;
constexpr uint32_t kCardEntry = 0x10000;

class CEntryDetails {
 public:
  // No entry read yet: a unit's, with nothing known.
  CEntryDetails() = default;

  // Selects the entry of list word `word` on the remote and reads it. With
  // `cardModeFixed` ("ZSLOT") every entry stands for its unit's card.
  static CEntryDetails Read(COrvellaRemote& remote, uint32_t word, bool cardModeFixed);

  // ---- what the entry is
  bool CardMode() const { return m_bCardMode; }
  bool ModuleMode() const { return m_bModuleMode; }
  uint16_t Connection() const { return m_nConnection; }
  // The unit's product id, the card id, or 2 for the module.
  uint8_t DeviceId() const { return m_nDeviceId; }
  // The entry's text as rebuilt from the device.
  const std::string& DeviceName() const { return m_szDeviceName; }

  // ---- what it shows, as the device reported it
  // The packed serial number of the device (0 for a module, which has none).
  uint32_t SerialNumber() const { return m_dwSerialNumber; }
  uint8_t PcbRevision() const { return m_nPcbRevision; }
  uint8_t FirmwareMajor() const { return m_nFirmwareMajor; }
  uint8_t FirmwareMinor() const { return m_nFirmwareMinor; }
  // The current firmware's release date; meaningful only with firmware present.
  int64_t FirmwareDate() const { return m_nFirmwareDate; }
  bool ShowsSerialRows() const;
  // The PROM to Program row, and the bank in a run's summary.
  bool ShowsPromBank() const;

  // ---- what it offers
  // The PROM select switches of the unit matter to the run.
  bool ChecksPromSwitches() const;
  // The device a run for an image of `imageId` would write to: the image's
  // kind chooses the run, the entry chooses where that run writes.
  uint8_t WriteTarget(uint8_t imageId) const;
  // What a finished update names as updated: "the Orvella(n)" or "the ZI-RERAR card in the Orvella(n)".
  std::string UpdatedText() const;
  // Whose serial number the prompt asks for ("Orvella(n)", "ZI-RERAR card").
  std::string SerialOwner() const;
  // The number the prompt says the device holds now: `shown`, or for a
  // module (which shows none) its unit's own.
  uint32_t HeldSerialNumber(uint32_t shown) const;
  // Writes `serial` to where this entry keeps its number: the card's, or the unit's.
  int WriteSerialNumber(COrvellaRemote& remote, uint32_t serial) const;

 private:
  bool m_bCardMode = false;
  bool m_bModuleMode = false;
  uint16_t m_nConnection = 0;
  uint8_t m_nDeviceId = 0;
  std::string m_szDeviceName;
  uint32_t m_dwSerialNumber = 0;
  uint32_t m_dwUnitSerialNumber = 0;  // a module's unit
  uint8_t m_nPcbRevision = 0;
  uint8_t m_nFirmwareMajor = 0;
  uint8_t m_nFirmwareMinor = 0;
  int64_t m_nFirmwareDate = 0;
};

// ---- field rules

// "%b %d, %Y" of the week in a packed serial number; empty outside weeks 1..53.
std::string ManufactureDate(uint32_t serial);
// "%d.%d", or "Not Present" for major 63 and for 0.0.
std::string FirmwareVersionText(uint8_t major, uint8_t minor);
bool FirmwarePresent(uint8_t major, uint8_t minor);
// "NC" for 0, else the letter ("A" for 1).
std::string PcbRevisionText(uint8_t revision);
// The name the list gives a card id ("Unknown" for ids it does not know).
const char* CardName(uint8_t cardId);
