#include "platform/core/message_pump.h"

#include "platform/core/clock.h"

namespace platform {
namespace {

class NoMessages final : public MessagePump {
 public:
  bool PumpOne() override { return false; }
};

}  // namespace

template <>
MessagePump& DefaultService<MessagePump>() {
  static NoMessages pump;
  return pump;
}

bool PumpOneMessage() {
  bool dispatched = Use<MessagePump>().PumpOne();
  Use<Clock>().OnPump();
  return dispatched;
}

bool PumpOrIdle() {
  bool dispatched = PumpOneMessage();
  if (!dispatched) Use<Clock>().IdleAfterPump();
  return dispatched;
}

}  // namespace platform
