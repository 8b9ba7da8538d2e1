// Selecting a connection, the identity read, and the identity getters. The
// getters read the register image only.
#include <cstdio>
#include <cstring>

#include "platform/core/clock.h"
#include "platform/core/log.h"
#include "protocol/driver_queries.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

int COrvellaRemote::SelectConnection(uint16_t index) {
  if (!m_pMidiIF) return 1;
  if (index == m_nSelectedConnection) return 0;

  // A link that refuses the index (a module index on a link that knows
  // none) keeps the unit selected before, and the remote keeps talking to
  // it as before: polling stopped here would starve every later wait.
  if (m_pMidiIF->SelectConnection(index) != 0) {
    LogMessage("COrvellaRemote::SelectConnection: m_pMidiIF->SelectConnection FAILED!\n");
    return 1;
  }
  m_bHighRegisterRange = false;
  m_bExtendedAddressing = false;
  m_dwLastReceiveTime = platform::TickCount();
  m_bLost = true;  // no periodic requests while the identity is read
  SetPollMode(kPollIdle);
  // The link now leads to another unit: what the image and the queue hold
  // describe the previous one and must not be taken for this one's answer.
  // A reconnection goes back to this unit, whether or not it answers now.
  if (index != m_nReconnectConnection || m_nSelectedConnection != 0xFFFF) {
    std::memset(m_RegisterImage, 0, sizeof m_RegisterImage);
    m_ReceiveQueue.Clear();
    m_bInFrame = false;
  }
  // Until its identity is read no unit is described; a reconnection (Poll)
  // goes back to this one, never to the unit selected before.
  m_nSelectedConnection = 0xFFFF;
  m_nReconnectConnection = index;

  if (m_nInterfaceType == kTransportDriver) {
    // The driver knows the unit before it answers; the identity read below
    // normally overwrites these presets.
    if (auto* driver = dynamic_cast<DriverQueries*>(m_pMidiIF)) {
      m_RegisterImage[1] = static_cast<uint8_t>(driver->GetAdapterInfo() >> 8);
      m_RegisterImage[16] = 20;
      uint32_t value = 0;
      driver->ReadAdapterValue(&value);
      m_RegisterImage[10] = static_cast<uint8_t>(value & 0xFF);
      value = 0;
      driver->ReadAdapterValue(&value);
      m_RegisterImage[11] = static_cast<uint8_t>((value >> 8) & 0xFF);
    }
  }

  int rc = RequestRegisterStatusVerified(REG_ASTAT_PID, REMO_ZT_SN_SERNUMHI);
  if (rc != 0) {
    LogMessage("COrvellaRemote::SelectConnection: RequestRegisterStatus REG_ASTAT_PID/REMO_ZT_SN_SERNUMHI FAILED!\n");
    // No unit answers here: nothing it "reports" may count as an answer.
    m_bDisconnected = true;
    m_RegisterImage[9] = TXERR;
    return 1;
  }
  if (m_RegisterImage[16] == 25) rc = RequestRegisterStatusVerified(32, 32);
  if (m_RegisterImage[16] == kCardVeZer && m_nInterfaceType == kTransportMidi && !m_pZTUSB) CreateCardUpdater(index);

  const uint8_t major = FirmwareMajor();
  if (IsVinto()) {
    SetReg27(0);
    rc = RequestRegisterStatusVerified(0, 127);
    if (major >= 6) {
      m_bExtendedAddressing = true;
      SetPollMode(kPollSlowCard);
      rc = RequestRegisterStatusVerified(256, 547);
      rc = RequestRegisterStatusVerified(1024, 2047);
    }
  } else if (ProductId() == kProductOrvellaN) {
    rc = RequestRegisterStatusVerified(0, 127);
  } else if (major > 16) {
    m_bHighRegisterRange = true;
  }

  m_nSelectedConnection = index;
  m_nReconnectConnection = index;
  m_bDisconnected = false;
  m_bLost = false;
  return rc;
}

int COrvellaRemote::GetConnectionDescription(uint16_t index, char* text, int size, uint8_t* productId) {
  if (!m_pMidiIF) return 1;
  SelectConnection(index);
  const uint8_t product = ProductId();
  if (productId) *productId = product;

  const char* model;
  switch (product) {
    case kProductOrvella16: model = "Orvella 16"; break;
    case kProductOrvella8: model = "Orvella 8"; break;
    case kProductVinto: model = "Vinto"; break;
    case kProductOrvellaN: model = "Orvella(n)"; break;
    case kProductSignalport: model = "Tervik Signalport 4x4"; break;
    default: model = "Unknown!"; break;
  }
  uint8_t is1824 = 0, isVT = 0;
  Is1824Variant(&is1824);
  IsVTVariant(&isVT);
  const char* suffix = is1824 ? "/1824" : isVT ? "/VT" : "";
  char name[255] = {};
  if (m_pMidiIF->GetConnectionName(index, name, sizeof name) != 0) name[0] = '\0';
  name[sizeof name - 1] = '\0';
  // Callers pass 256 or 260 bytes; honour a smaller size rather than
  // overrun it with a long port name.
  const size_t limit = size > 0 ? static_cast<size_t>(size) : 256;
  std::snprintf(text, limit, "%s%s connected via %s", model, suffix, name);
  return 0;
}

uint8_t COrvellaRemote::ProductId() {
  const uint8_t id = m_RegisterImage[1];
  if ((id == kProductOrvella16 || id == kProductOrvella8) && m_RegisterImage[6] == kProductOrvellaN) {
    return kProductOrvellaN;
  }
  return id;
}

uint8_t COrvellaRemote::CardId() { return m_RegisterImage[16] == 23 ? 19 : m_RegisterImage[16]; }

uint8_t COrvellaRemote::FirmwareMajor() { return m_RegisterImage[10] & 0x3F; }

bool COrvellaRemote::IsOrvellaN() { return IsVinto() || ProductId() == kProductOrvellaN; }

int COrvellaRemote::GetProductID(uint8_t* id) { return Report(id, ProductId()); }

bool COrvellaRemote::IsVinto() { return ProductId() == kProductVinto; }

int COrvellaRemote::GetPCBRevision(uint8_t* out) { return Report(out, m_RegisterImage[11] >> 4); }

int COrvellaRemote::GetFirmwareMajor(uint8_t* out) { return Report(out, FirmwareMajor()); }

int COrvellaRemote::GetFirmwareMinor(uint8_t* out) {
  return Report(out, static_cast<uint8_t>(((m_RegisterImage[11] & 0x0F) << 2) + (m_RegisterImage[10] >> 6)));
}

int COrvellaRemote::Is1824Variant(uint8_t* out) {
  return Report(out, (FirmwareMajor() >= 18 && !(m_RegisterImage[7] & 0x40)) ? 1 : 0);
}

int COrvellaRemote::IsVTVariant(uint8_t* out) {
  return Report(out, (FirmwareMajor() >= 18 && !(m_RegisterImage[7] & 0x80)) ? 1 : 0);
}

int COrvellaRemote::GetCardID(uint8_t* id) { return Report(id, CardId()); }

int COrvellaRemote::GetCardFirmwareVersion(uint8_t* major, uint8_t* minor) {
  if (major) *major = m_RegisterImage[17];
  if (IsOrvellaN() && minor && m_RegisterImage[16] != kCardVeZer) *minor = m_RegisterImage[20];
  return 0;
}

int COrvellaRemote::GetCardPCBRevision(uint8_t* out) { return Report(out, m_RegisterImage[18]); }

bool COrvellaRemote::IsHighRegisterRange() { return m_bHighRegisterRange; }

int COrvellaRemote::GetFirmwareDate(uint16_t* date) {
  return Report(date, static_cast<uint16_t>(m_RegisterImage[7] + 256 * m_RegisterImage[8]));
}
