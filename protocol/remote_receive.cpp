// The receive path: transport bytes -> queue -> frames -> register image.
#include <algorithm>
#include <cstring>

#include "platform/core/clock.h"
#include "protocol/codec.h"
#include "protocol/orvella_remote.h"
#include "protocol/product_ids.h"

namespace {
// A transport that never runs dry must not keep Poll from returning; more
// reads than this in one pass could not be queued anyway.
constexpr int kMaxReadsPerPoll = 16;
}  // namespace

bool COrvellaRemote::DrainInput(int* readResult) {
  uint8_t buffer[kReadChunk];
  for (int i = 0; i < kMaxReadsPerPoll; ++i) {
    int received = 0;
    const int rc = m_pMidiIF->Read(buffer, static_cast<int>(sizeof buffer), &received);
    if (rc != 0) {
      m_ReceiveQueue.Clear();
      m_bInFrame = false;
      *readResult = rc;
      return false;
    }
    if (received <= 0) break;
    m_dwLastReceiveTime = platform::TickCount();
    const size_t n = std::min(static_cast<size_t>(received), sizeof buffer);
    m_ReceiveQueue.Put(n, buffer);  // what does not fit is lost
  }
  return true;
}

bool COrvellaRemote::CutFrames() {
  bool parsed = false;
  uint8_t frame[kFrameBuffer];
  for (;;) {
    if (!m_bInFrame) {
      const long start = m_ReceiveQueue.Find(codec::kSysEx);
      if (start < 0) {
        // No frame can begin in what is held: drop it, or noise would fill
        // the queue and shut out every later frame.
        m_ReceiveQueue.Clear();
        break;
      }
      m_ReceiveQueue.Take(static_cast<size_t>(start), nullptr);
      m_bInFrame = true;
    }
    const long end = m_ReceiveQueue.Find(codec::kEndSysEx);
    if (end < 0) {
      // A frame can be at most kReadChunk bytes; one that has grown past
      // that without its end is cut and rejected now, as one with a late
      // end would be, so the queue cannot fill up and stall.
      if (m_ReceiveQueue.Used() < kReadChunk) break;
      m_ReceiveQueue.Take(kReadChunk, nullptr);
      m_bInFrame = false;
      continue;
    }
    const size_t length = std::min(static_cast<size_t>(end) + 1, kReadChunk);
    if (!m_ReceiveQueue.Take(length, frame)) break;
    ParseMessage(frame, static_cast<int>(length));
    parsed = true;
    m_bInFrame = false;
  }
  return parsed;
}

int COrvellaRemote::ParseMessage(const uint8_t* frame, int length) {
  if (length <= 0 || static_cast<size_t>(length) >= kFrameBuffer) return 1;
  const size_t n = static_cast<size_t>(length);
  size_t o = 0;
  while (o < n && frame[o] != codec::kSysEx) {
    if (frame[o] == 0x00) return 1;
    ++o;
  }
  // The shortest frame with a command byte is F0 id id id cmd F7.
  if (o + 5 >= n || frame[n - 1] != codec::kEndSysEx) return 1;
  if (std::memcmp(frame + o + 1, m_aManufacturerID, 3) != 0) return 1;

  const uint8_t* f = frame + o;
  const size_t avail = n - o;  // bytes from the 0xF0 on
  codec::Header h;
  if (!codec::ParseHeader(f, avail, &h)) return 1;
  if (h.code != codec::kRegisterData) return 0;
  // Register data always has its header and a closing byte after it.
  if (avail < h.length + 1) return 1;

  ++m_dwResponseCount;
  const size_t header = h.length;
  const uint16_t start = h.first;
  const size_t count = static_cast<size_t>(h.span) + 1;
  if (count >= kFrameBuffer) return 1;

  uint8_t data[kFrameBuffer];
  const size_t used = codec::UnpackBits7(data, count, f + header, avail - header);
  if (used == 0) return 1;
  if (m_nPollMode != kPollTransfer && n != o + header + used + 1) return 1;
  if (header + used >= avail || f[header + used] != codec::kEndSysEx) return 1;
  StoreRegisterData(data, start, static_cast<uint16_t>(count));
  return 0;
}

int COrvellaRemote::StoreRegisterData(const uint8_t* data, uint16_t start, uint16_t count) {
  m_nLastResponseStart = start;
  m_nLastResponseCount = count;
  if (start == m_nAnswerRegister) ++m_dwAnswers;
  bool due = false;
  const uint8_t product = ProductId();
  const bool caches = product != kProductVinto && product != kProductOrvellaN;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t r = static_cast<uint32_t>(start) + i;
    if (m_nPollMode == kPollVerify && r >= 128) {
      // A verify reply is registers 128..255; anything past them has no
      // place in the 128-byte buffer and is dropped.
      if (r - 128 < kVerifySize) m_VerifyBuffer[r - 128] = data[i];
      continue;
    }
    if (r >= kImageSize) return 1;
    m_RegisterImage[r] = data[i];
    if (r == m_nNotifyRegA || r == m_nNotifyRegB) due = true;
    if (caches && r >= 64) UpdateChannelCaches(static_cast<uint16_t>(r), data[i]);
  }
  if (m_nPollMode == kPollVerify) m_RegisterImage[9] |= PAKRDY;
  if (due && m_pNotifyCallback) m_pNotifyCallback(m_pNotifyContext, m_dwNotifyParameter);
  return 0;
}
