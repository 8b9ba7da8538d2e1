// The VE-ZER card updater that the engine owns for a unit whose card is a
// VE-ZER reached over MIDI: made and opened on selection, deleted when it
// cannot open, on a lost link and with the engine. The card's sample rate
// goes to its USB driver through it rather than to the unit.
#include <string>

#include "platform/ui/ui_host.h"
#include "protocol/card_updater.h"
#include "protocol/orvella_remote.h"
#include "protocol/transport_factory.h"

namespace {

// Rate choices 0..5 of SetSampleRate/GetSampleRate, in Hz.
constexpr uint32_t kCardRates[6] = {44100, 48000, 88200, 96000, 176400, 192000};

}  // namespace

void COrvellaRemote::CreateCardUpdater(uint16_t index) {
  m_pZTUSB = platform::Use<TransportFactory>().CreateCardUpdater();
  if (m_pZTUSB && !m_pZTUSB->Open(index)) {
    delete m_pZTUSB;
    m_pZTUSB = nullptr;
  }
}

void COrvellaRemote::ReleaseCardUpdater() {
  delete m_pZTUSB;  // its destructor closes the device and unloads the library
  m_pZTUSB = nullptr;
}

int COrvellaRemote::CardSampleRate(uint8_t index) {
  if (index > 5) return 2;
  if (!m_pZTUSB) return 1;
  const CardStatus status = m_pZTUSB->SetSampleRate(kCardRates[index]);
  if (status == kCardStatusSuccess) return 0;
  if (status == kCardStatusDeviceBusy) {
    platform::ui::ShowMessage("Cannot change Sample Rate with Active Devices!", std::string("VE-ZER"),
                              platform::ui::Buttons::Ok, platform::ui::Icon::Warning);
  }
  return 1;
}

int COrvellaRemote::CardGetSampleRate(uint8_t* index) {
  if (!m_pZTUSB) return 1;
  uint32_t rate = 0;
  m_pZTUSB->GetCurrentSampleRate(&rate);  // a failed call leaves 0: no choice
  for (uint8_t choice = 0; choice < 6; ++choice) {
    if (kCardRates[choice] == rate) {
      *index = choice;
      return 0;
    }
  }
  return 2;
}
