// Waiting for the unit's answers. Every pass polls, sleeps 5 ms (not for
// the Vinto) and dispatches at most one window message.
#include "platform/core/clock.h"
#include "platform/core/log.h"
#include "platform/core/message_pump.h"
#include "protocol/orvella_remote.h"

int COrvellaRemote::WaitForResponse(uint16_t count) {
  // During transfer and verify the caller watches register 9 instead.
  if (m_nPollMode == kPollTransfer || m_nPollMode == kPollVerify) return 0;
  const uint32_t startCount = m_dwResponseCount;
  const uint32_t startTime = platform::TickCount();
  for (;;) {
    const uint32_t elapsed = platform::TickCount() - startTime;
    if (elapsed > kResponseTimeoutMs) {
      LogMessage("COrvellaRemote::WaitForResponse TIMEOUT %ld\n", static_cast<long>(elapsed));
      return 1;
    }
    Poll();
    // What came in with this poll ends the wait now, not after a sleep.
    if (m_dwResponseCount - startCount >= count) return 0;
    if (IsVinto()) {
      // No sleep for the Vinto, but no spinning either: the next tick.
      platform::PumpOrIdle();
    } else {
      platform::Sleep(5);
      platform::PumpOneMessage();
    }
    if (m_dwResponseCount - startCount >= count) return 0;
  }
}

int COrvellaRemote::RequestRegisterStatusVerified(uint16_t first, uint16_t last) {
  // A nested call (from a handler dispatched inside the wait) would take
  // the outer call's answer; it fails instead.
  if (m_bVerifiedBusy) return 1;
  m_bVerifiedBusy = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{m_bVerifiedBusy};

  for (int attempt = 0; attempt < 6; ++attempt) {
    // The start of the last answer may be left over from before (another
    // unit's poll): only an answer decoded after this request counts.
    const uint32_t answersBefore = m_dwResponseCount;
    if (RequestRegisterStatus(first, last) != 0) {
      LogMessage("RequestRegisterStatusVerified: RequestRegisterStatus FAILED! %04x %04x\n", first, last);
      return 1;
    }
    if (WaitForResponse(1) != 0) LogMessage("RequestRegisterStatusVerified: WaitForResponse FAILED!\n");
    if (m_dwResponseCount != answersBefore && m_nLastResponseStart == first) return 0;
    LogMessage("RequestRegisterStatusVerified: RETRY! Last %04x First %04x\n", m_nLastResponseStart, first);
  }
  LogMessage("RequestRegisterStatusVerified: Last %04x != First %04x\n", m_nLastResponseStart, first);
  return 1;
}

int COrvellaRemote::Reconnect(uint32_t limitMs) {
  if (!m_pMidiIF) return 1;
  const uint32_t start = platform::TickCount();
  while (m_bDisconnected || !m_pMidiIF->IsOpen()) {
    if (platform::TickCount() - start > limitMs) return 1;
    // Poll reopens a closed link and selects the connection again; a link
    // that is open but was given up is closed first so that it does.
    if (m_pMidiIF->IsOpen() && m_bDisconnected) m_pMidiIF->Close();
    Poll();
    if (!m_bDisconnected && m_pMidiIF->IsOpen()) break;
    platform::Sleep(5);
    platform::PumpOneMessage();
  }
  return 0;
}
