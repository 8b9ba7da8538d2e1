// Unit discovery and selection: the unit search that builds the list, and
// the display of the selected entry (kind, identity, serial number, current
// and new firmware, row visibility).
#include <cstdio>
#include <string>

#include "app/log.h"
#include "app/reflash_dlg.h"
#include "app/resources/dialog_templates.h"
#include "app/serial_number.h"
#include "platform/core/service.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"
#include "protocol/transport_factory.h"

using platform::ui::Buttons;
using platform::ui::FontKind;
using platform::ui::Icon;
using platform::ui::MessageBoxRequest;

namespace {

using namespace resources;

constexpr uint16_t kRegModule = 25;
// Room for an entry's description while searching.
constexpr int kSearchText = 260;

std::string Printf(const char* format, const std::string& a, const std::string& b = {}) {
  char buffer[600];
  std::snprintf(buffer, sizeof buffer, format, a.c_str(), b.c_str());
  return buffer;
}

void ShowWindowMessage(platform::ui::DialogWindow& window, const char* text, Icon icon) {
  MessageBoxRequest request;
  request.text = text;
  request.caption = resources::kMainCaption;
  request.buttons = Buttons::Ok;
  request.icon = icon;
  window.MessageBox(request);
}

}  // namespace

// ------------------------------------------------------------- unit search

bool CReflashDlg::AddEntry(const std::string& text, uint32_t word) {
  // The table holds 16 entries; units beyond it are not listed.
  if (m_nEntryCount >= kMaxEntries) {
    ++m_nUnlisted;
    return false;
  }
  const int item = m_window->ComboAdd(IDC_MODEL, text);
  m_window->ComboSetData(IDC_MODEL, item, static_cast<uint32_t>(m_nEntryCount));
  m_EntryTable[m_nEntryCount++] = word;
  return true;
}

std::string CReflashDlg::UnlistedText() const {
  if (m_nUnlisted == 0) return {};
  char text[128];
  std::snprintf(text, sizeof text, "%d more device%s could not be listed: the list holds %d entries.", m_nUnlisted,
                m_nUnlisted == 1 ? "" : "s", kMaxEntries);
  return text;
}

void CReflashDlg::ReportUnlisted() {
  if (m_nUnlisted == 0) return;
  LogMessage("%s\n", UnlistedText().c_str());
  ShowImageSource();
}

void CReflashDlg::EndRunWithoutUnit() {
  if (m_outcome == RunOutcome::Nothing) m_outcome = RunOutcome::NoUnit;
  CloseWindow(0);
}

bool CReflashDlg::SearchUnits() {
  auto& host = platform::Use<platform::ui::Host>();
  host.SetWaitCursor(true);
  m_pRemote = std::make_unique<COrvellaRemote>();
  uint16_t connections = 0;
  if (m_pRemote->Open() == 0) {
    if (m_pRemote->GetNumberOfConnections(&connections) != 0) connections = 0;
    LogMessage("Found Orvella(n). Number Of Connections: %u\n", static_cast<unsigned>(connections));
  }
  if (connections == 0) m_pRemote.reset();
  host.SetWaitCursor(false);

  if (!m_pRemote) {
    LogMessage("Unable to locate an Orvella(n)!\n");
    ShowWindowMessage(*m_window, "Unable to locate an Orvella(n)!", Icon::None);
    EndRunWithoutUnit();
    return false;
  }

  // Once the list is full the search goes on, only to count what it leaves out.
  for (uint16_t k = 0; k < connections; ++k) {
    m_pRemote->SelectConnection(k);
    uint8_t productId = 0;
    m_pRemote->GetProductID(&productId);
    if (productId != kProductOrvellaN) continue;

    char description[kSearchText] = {};
    uint8_t describedId = 0;
    if (m_pRemote->GetConnectionDescription(k, description, kSearchText, &describedId) != 0) continue;
    LogMessage("Found %s\n", description);
    AddEntry(description, k);
    uint8_t cardId = 0;
    m_pRemote->GetCardID(&cardId);

    uint8_t module = 0;
    m_pRemote->ReadRegister(kRegModule, &module);
    if (module == kModuleZmDig) {
      // A unit with a module ends the search: neither its card nor any
      // later unit is listed.
      const std::string text = Printf("ZM-DIG in %s", description);
      LogMessage("Found %s\n", text.c_str());
      AddEntry(text, k | kModuleEntry);
      break;
    }

    switch (cardId) {
      case kCardZiRerar:
      case kCardVeZer: {
        // A VE-ZER card is programmed through its USB updater; without one
        // it cannot be updated and is not offered.
        if (cardId == kCardVeZer && m_pRemote->GetCardUpdater() == nullptr) break;
        const std::string text = Printf("%s in %s", CardName(cardId), description);
        LogMessage("Found %s\n", text.c_str());
        AddEntry(text, k | kCardEntry);
        break;
      }
      case 19:
      case 24:
      case 25: {
        const std::string text = Printf("%s in %s", CardName(cardId), description);
        LogMessage("Found %s\n", text.c_str());
        break;
      }
      default:
        break;
    }
  }

  ReportUnlisted();
  if (m_nEntryCount == 0) {
    LogMessage("No Orvella(n) Found!\n");
    ShowWindowMessage(*m_window, "No Orvella(n) Found!", Icon::None);
    EndRunWithoutUnit();
    return false;
  }

  // --select: list items and entries share their index.
  const int first = m_run.select.value_or(0);
  if (first < 0 || first >= m_nEntryCount) {
    char text[128];
    std::snprintf(text, sizeof text, "--select=%d: there is no entry %d (the list has %d)", first, first,
                  m_nEntryCount);
    LogMessage("%s\n", text);
    if (m_run.report) m_run.report->Notice(text);
    m_outcome = RunOutcome::UsageError;
    CloseWindow(0);
    return false;
  }
  m_window->ComboSetSel(IDC_MODEL, first);
  if (!UpdateSelectedConnection(static_cast<uint16_t>(first))) {
    LogMessage("UpdateSelectedConnection Failed!\n");
    EndRunWithoutUnit();
    return false;
  }

  for (int id = IDC_NOTICE1; id <= IDC_CONGRATULATIONS; ++id) m_window->SetFont(id, FontKind::Bold);
  SetDialogState(kStateReady);
  return true;
}

// -------------------------------------------------------- selected entry

void CReflashDlg::OnSelChangeModel() {
  LogMessage("OnSelChangeModel\n");
  if (IsBusy()) {
    // The run keeps its target: the list goes back to the entry in use.
    LogMessage("OnSelChangeModel: Busy, selection ignored\n");
    if (m_nShownItem >= 0) m_window->ComboSetSel(IDC_MODEL, m_nShownItem);
    return;
  }
  const int item = m_window->ComboSel(IDC_MODEL);
  if (item < 0) return;
  const uint32_t entry = m_window->ComboData(IDC_MODEL, item);
  // A file given on the command line or dropped belongs to the entry it
  // was chosen for; the built-in images apply again.
  m_Images.m_bExternalFile = false;
  if (!UpdateSelectedConnection(static_cast<uint16_t>(entry))) return;
  // The done state is the updated unit's: another entry is ready to update.
  if (m_nDoneEntry >= 0) SetDialogState(m_nShownEntry == m_nDoneEntry ? kStateDone : kStateReady);
}

void CReflashDlg::SetValue(int id, const std::string& text) {
  m_window->SetText(id, text);
  m_window->SetFont(id, FontKind::Bold);
}

void CReflashDlg::ShowDetailRows(bool serialRows, bool promRow) {
  for (int id : {IDC_SERIAL_LABEL, IDC_SERIAL, IDC_MFG_DATE_LABEL, IDC_MFG_DATE}) m_window->Show(id, serialRows);
  for (int id : {IDC_PROM_LABEL, IDC_PROM}) m_window->Show(id, promRow);
}

bool CReflashDlg::UpdateSelectedConnection(uint16_t entry) {
  if (!m_pRemote || !m_window || entry >= m_nEntryCount) {
    EndRunWithoutUnit();
    return false;
  }
  // The remote's waits below dispatch messages; a selection arriving now
  // must not switch the unit under this one.
  BusyScope busy(*this);
  m_nShownEntry = entry;

  // The entry's kind, device and what the device reports of itself.
  m_entry = CEntryDetails::Read(*m_pRemote, m_EntryTable[entry], m_options.m_bCardModeFixed);
  RebuildSelectedItem(entry);
  m_pRemote->SetPollMode(kPollIdentity);

  // Serial-number writing asked for on the command line.
  if (m_options.m_dwCommandLineSerial != 0) return WriteCommandLineSerial();
  uint32_t serial = ShowSerialNumber(m_entry.SerialNumber());

  SetValue(IDC_PCB_REV, PcbRevisionText(m_entry.PcbRevision()));

  // Current firmware and its date.
  const uint8_t major = m_entry.FirmwareMajor();
  const uint8_t minor = m_entry.FirmwareMinor();
  const std::string versionText = FirmwareVersionText(major, minor);
  LogMessage("FWRev: %s\n", versionText.c_str());
  SetValue(IDC_FW_VERSION, versionText);
  SetValue(IDC_FW_DATE, FirmwarePresent(major, minor) ? FormatDate(m_entry.FirmwareDate()) : std::string());

  if (!ChooseNewImage()) return false;

  // Rows by kind.
  ShowDetailRows(m_entry.ShowsSerialRows(), m_entry.ShowsPromBank());
  if (m_entry.ShowsPromBank()) {
    SetValue(IDC_PROM, m_options.m_nPromSelect == 2 ? "Both" : (m_options.m_nPromSelect == 0 ? "1" : "2"));
  }
  ShowImageSource();

  // The serial-number prompt comes once the entry's own fields are shown,
  // so the window behind it speaks of the device it asks about.
  if (m_options.m_bGetSerialNumber) {
    if (!WriteDialogSerial(serial)) return false;
    ShowSerialNumber(serial);
  }
  return true;
}

void CReflashDlg::RebuildSelectedItem(uint16_t entry) {
  const int item = m_window->ComboSel(IDC_MODEL);
  if (item >= 0) {
    m_window->ComboDelete(IDC_MODEL, item);
    m_window->ComboInsert(IDC_MODEL, item, m_entry.DeviceName());
    m_window->ComboSetData(IDC_MODEL, item, entry);
    m_window->ComboSetSel(IDC_MODEL, item);
  }
  m_nShownItem = item;
}

// The built-in images are stand-ins unless the build embedded the maker's:
// a real unit is offered none, and must be given a file.
bool CReflashDlg::ChooseNewImage() {
  m_bNoBuiltInImage = !m_Images.m_bExternalFile && !BuiltInImagesUsable();
  if (m_bNoBuiltInImage) {
    m_Images.m_szImageName[0] = '\0';
    m_Images.m_nImageDeviceId = 0xFF;
    m_Images.m_nImageMajor = 0;
    m_Images.m_nImageMinor = 0;
    LogMessage("No built-in firmware image for this device on a real unit\n");
    SetValue(IDC_NEW_FW_VERSION, "None built in");
    SetValue(IDC_NEW_FW_DATE, "Use FILE= or drop");
    return true;
  }
  if (!m_Images.m_bExternalFile) {
    m_Images.EnumerateEmbeddedImages();
    m_Images.FindEmbeddedImage(m_entry.DeviceId());
  }
  if (m_Images.m_nImageMajor == 0xFFFF) {
    m_Images.m_nImageMajor = 0;
    LogMessage("Unable to determine New Firmware Version!\n");
    ShowWindowMessage(*m_window, "Unable to determine New Firmware Version!", Icon::Exclamation);
    EndRunWithoutUnit();
    return false;
  }
  ShowNewImage();
  return true;
}

uint32_t CReflashDlg::ShowSerialNumber(uint32_t serial) {
  // Only a number of this device's model counts.
  std::string serialText = "Not Present";
  if (serial != 0 && serial != 0xFFFFFFFF && (serial >> 24) == m_entry.DeviceId()) {
    serialText = FormatSerialNumber(serial);
  } else {
    serial = 0;
  }
  LogMessage("SN: %s\n", serialText.c_str());
  SetValue(IDC_SERIAL, serialText);

  // The manufacture date its week gives.
  SetValue(IDC_MFG_DATE, serial != 0 ? ManufactureDate(serial) : std::string());
  return serial;
}

void CReflashDlg::ShowNewImage() {
  if (!m_Images.m_bExternalFile) {
    // A built-in image's number is still whole (an external file's was
    // split when it was taken); splitting it here only once keeps a
    // re-shown entry from being split twice.
    const uint16_t number = m_Images.m_nImageMajor;
    m_Images.m_nImageMajor = number / 100;
    m_Images.m_nImageMinor = static_cast<uint8_t>(number % 100);
  }
  char newVersion[16];
  std::snprintf(newVersion, sizeof newVersion, "%d.%d", m_Images.m_nImageMajor, m_Images.m_nImageMinor);
  SetValue(IDC_NEW_FW_VERSION, newVersion);
  LogMessage("New FWRev: %s\n", newVersion);

  // The date of a built-in image; an external file's date stays.
  if (!m_Images.m_bExternalFile) {
    if (m_Images.m_nImageMajor >= 11) {
      SetValue(IDC_NEW_FW_DATE, "Unknown");
    } else {
      m_Images.m_pImageDate = 0;
      LookupFirmwareDate(static_cast<uint8_t>(m_Images.m_nImageMajor), &m_Images.m_pImageDate, m_entry.DeviceId(), true,
                         m_pRemote.get());
      SetValue(IDC_NEW_FW_DATE, FormatDate(m_Images.m_pImageDate));
    }
  }
}

bool CReflashDlg::BuiltInImagesUsable() const {
  return !CFirmwareImages::BuiltInImagesAreStandIns() || platform::Use<TransportFactory>().Simulated();
}
