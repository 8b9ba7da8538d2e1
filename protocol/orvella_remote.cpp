#include "protocol/orvella_remote.h"

#include <cstring>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "protocol/transport_factory.h"

COrvellaRemote::COrvellaRemote()
    : m_aManufacturerID{codec::kManufacturer[0], codec::kManufacturer[1], codec::kManufacturer[2]},
      m_dwLastRequestTime(platform::TickCount()),
      m_dwLastReceiveTime(platform::TickCount()) {}

COrvellaRemote::~COrvellaRemote() {
  m_pNotifyCallback = nullptr;
  ReleaseCardUpdater();
  Close();
}

static void CopyText(char (&to)[256], const char* text) {
  if (!text) text = "";
  std::strncpy(to, text, sizeof to - 1);
  to[sizeof to - 1] = '\0';
}

int COrvellaRemote::SetMIDIPortFilter(const char* text) {
  CopyText(m_szMIDIPortFilter, text);
  return 0;
}

int COrvellaRemote::SetInterfaceMask(uint32_t mask) {
  m_dwInterfaceMask = mask;
  return 0;
}

int COrvellaRemote::SetSecondaryName(const char* text) {
  CopyText(m_szSecondaryName, text);
  return 0;
}

int COrvellaRemote::Open() {
  if (m_pMidiIF) return 0;
  TransportFactory& factory = platform::Use<TransportFactory>();
  // The first kind that finds a unit stays; the type is the kind tried last.
  const struct {
    uint32_t bit;
    uint16_t type;
  } kinds[] = {{kMaskDriver, kTransportDriver}, {kMaskMidi, kTransportMidi}, {kMaskNetwork, kTransportNetwork}};
  for (const auto& kind : kinds) {
    if (m_pMidiIF || !(m_dwInterfaceMask & kind.bit)) continue;
    m_nInterfaceType = kind.type;
    COrvellaInterface* transport = factory.Create(kind.type);
    if (!transport) continue;
    if (kind.type == kTransportMidi && m_szMIDIPortFilter[0]) transport->SetPortNameFilter(m_szMIDIPortFilter);
    if (transport->Open() != 0) {
      delete transport;
      continue;
    }
    m_pMidiIF = transport;
  }
  return m_pMidiIF ? 0 : 1;
}

int COrvellaRemote::Close() {
  if (m_pMidiIF) {
    if (m_bExtendedAddressing) SetReg27(0);
    m_pMidiIF->Close();
    delete m_pMidiIF;
    m_pMidiIF = nullptr;
    m_bDisconnected = true;
    // The selection belonged to the deleted transport; a later Open must
    // select again instead of taking the old index as already selected.
    m_nSelectedConnection = 0xFFFF;
  }
  return 0;
}

int COrvellaRemote::IsConnectionLost(uint8_t* out) {
  *out = m_bDisconnected ? 1 : 0;
  return 0;
}

int COrvellaRemote::StartPolling() { return SetPollMode(kPollIdentity); }

int COrvellaRemote::SetPollMode(uint8_t mode) {
  m_nPollMode = mode;
  m_dwLastReceiveTime = platform::TickCount();
  return 0;
}

int COrvellaRemote::GetNumberOfConnections(uint16_t* count) {
  if (!m_pMidiIF) return 1;
  return m_pMidiIF->GetNumberOfConnections(count);
}

int COrvellaRemote::GetSelectedConnection(uint16_t* index) {
  if (!m_pMidiIF) return 1;
  return m_pMidiIF->GetSelectedConnection(index);
}

int COrvellaRemote::GetInterfaceType(uint16_t* type) {
  *type = m_nInterfaceType;
  return 0;
}

int COrvellaRemote::ReadRegister(uint16_t reg, uint8_t* value) {
  if (reg >= kImageSize) return 2;
  *value = m_RegisterImage[reg];
  return 0;
}

int COrvellaRemote::WriteRegister(uint16_t reg, uint8_t value) {
  if (reg >= kImageSize) return 2;
  m_RegisterImage[reg] = value;
  WriteRegisterValue(reg, value);
  return 0;
}

int COrvellaRemote::SetRegisterNotification(uint16_t regA, uint16_t regB, RegisterNotifyCallback callback,
                                            void* context, uint32_t parameter) {
  m_nNotifyRegA = regA;
  m_nNotifyRegB = regB;
  m_pNotifyCallback = callback;
  m_pNotifyContext = context;
  m_dwNotifyParameter = parameter;
  return 0;
}
