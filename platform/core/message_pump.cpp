#include "platform/core/message_pump.h"

#include "platform/core/clock.h"
#include "platform/core/real_backend.h"

namespace platform {
namespace {

class NoMessages final : public MessagePump {
 public:
  bool PumpOne() override { return false; }
};

class NoHint final : public WakeHint {
 public:
  uint32_t QuietMs() override { return 0; }
};

}  // namespace

PLATFORM_REAL_BACKEND(WakeHint, NoHint)

PLATFORM_REAL_BACKEND(MessagePump, NoMessages)

bool PumpOneMessage() {
  bool dispatched = Use<MessagePump>().PumpOne();
  Use<Clock>().OnPump();
  return dispatched;
}

bool PumpOrIdle() {
  bool dispatched = PumpOneMessage();
  if (!dispatched) {
    const uint32_t quiet = Use<WakeHint>().QuietMs();
    Use<Clock>().IdleAfterPump(quiet < kLongestIdleMs ? quiet : kLongestIdleMs);
  }
  return dispatched;
}

}  // namespace platform
