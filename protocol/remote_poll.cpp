// Poll: input, periodic requests of the poll mode, loss and reconnection.
#include <cstring>

#include "platform/core/clock.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

int COrvellaRemote::Poll() {
  if (!m_pMidiIF) return 1;
  if (!m_pMidiIF->IsOpen()) {
    if (m_pMidiIF->Open() != 0) return 1;
    // A failed reconnection leaves no selection behind; the unit we were
    // talking to is still the one to go back to, not the first connection.
    const uint16_t previous = m_nSelectedConnection != 0xFFFF ? m_nSelectedConnection : m_nReconnectConnection;
    m_nSelectedConnection = 0xFFFF;
    if (SelectConnection(previous == 0xFFFF ? 0 : previous) != 0) return 1;
  }

  int result = 0;
  DrainInput(&result);
  const bool parsed = CutFrames();

  const uint32_t now = platform::TickCount();
  if (m_nPollMode != kPollTransfer && !m_bCardSerialWrite && now - m_dwLastReceiveTime > kLossMs) {
    m_bLost = true;
    result = 1;
  }
  // A failed Read already decided this pass; a request sent afterwards
  // must not make the link look healthy.
  if (!m_bLost) {
    const int sent = SendPeriodicRequest(parsed);
    if (result == 0) result = sent;
  }

  if (result != 0) DropConnection();
  return 0;
}

void COrvellaRemote::DropConnection() {
  m_pMidiIF->Close();
  m_ReceiveQueue.Clear();
  m_bInFrame = false;
  std::memset(m_RegisterImage, 0, sizeof m_RegisterImage);
  // A cleared register 9 reads as "packet taken"; nothing was taken over a
  // lost link, so the copy says transfer error until the unit answers again.
  m_RegisterImage[9] = TXERR;
  ++m_dwLossCount;
  ReleaseCardUpdater();
  m_bDisconnected = true;
}

// Returns the send result of the request, or 0 when none was due.
int COrvellaRemote::SendPeriodicRequest(bool frameParsed) {
  const uint32_t now = platform::TickCount();
  const uint32_t elapsed = now - m_dwLastRequestTime;
  const uint8_t product = ProductId();
  int rc = 0;
  bool sent = true;
  switch (m_nPollMode) {
    case kPollIdle:
      if (!(elapsed > 100 || frameParsed)) {
        sent = false;
      } else if (IsVinto()) {
        rc = RequestRegisterStatus(0, 125);
      } else if (product == 38 || product == 39 || product == 128) {
        rc = RollingRequest();
      } else {
        sent = false;
      }
      break;
    case kPollIdentity:
      if (elapsed <= 50)
        sent = false;
      else if (m_bCardSerialWrite)
        rc = RequestRegisterStatus(28, 31);
      else if (IsVinto())
        rc = RequestRegisterStatus(0, 125);
      else
        rc = RequestRegisterStatus(1, 24);
      break;
    case kPollSlowCard:
      if (elapsed > 3000 && (IsVinto() || product == kProductOrvellaN) && m_RegisterImage[16] == kCardVeZer)
        rc = RequestRegisterStatus(1, 31);
      else
        sent = false;
      break;
    case kPollProgress:
      if (elapsed > 100)
        rc = RequestRegisterStatus(56, 58);
      else
        sent = false;
      break;
    default:  // transfer and verify: the caller drives the traffic
      sent = false;
      break;
  }
  if (sent) m_dwLastRequestTime = now;
  return rc;
}

// One turn of the idle schedule of the models that report their channel
// state: the identity block now and then, the channel registers between.
int COrvellaRemote::RollingRequest() {
  const bool high = m_bHighRegisterRange;
  if (m_RegisterImage[16] == kCardVeZer) {
    const uint32_t step = m_dwRollingStep % 8;
    m_dwRollingStep = (step + 1) % 8;
    if (step == 0 || step == 4 || step == 6) return RequestRegisterStatus(1, 24);
    if (step == 2 && high) return RequestRegisterStatus(256, 383);
    return RequestRegisterStatus(64, 255);
  }
  const uint32_t step = m_dwRollingStep % 40;
  m_dwRollingStep = (step + 1) % 40;
  int rc;
  if (step % 2 == 1) {
    rc = RequestRegisterStatus(64, 127);
  } else {
    switch (step) {
      case 0:
        rc = m_RegisterImage[1] == 0 ? RequestRegisterStatus(1, 125) : RequestRegisterStatus(1, 24);
        break;
      case 8: case 16: case 24: case 32:
        rc = RequestRegisterStatus(1, 24);
        break;
      case 2: case 12: case 22: case 34:
        rc = RequestRegisterStatus(128, 191);
        break;
      case 4: case 14: case 26: case 36:
        rc = RequestRegisterStatus(192, 255);
        break;
      case 6: case 18: case 28: case 38:
        rc = high ? RequestRegisterStatus(256, 319) : RequestRegisterStatus(128, 191);
        break;
      default:  // 10, 20, 30
        rc = high ? RequestRegisterStatus(320, 383) : RequestRegisterStatus(192, 255);
        break;
    }
  }
  if (step == 39) rc = RequestRegisterStatus(32, 32);
  return rc;
}
