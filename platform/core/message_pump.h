#pragma once
#include "platform/core/service.h"

namespace platform {

// "Dispatch at most one pending window message": the only way the engine's
// and the workflows' wait loops let the window live. The active UI host
// installs itself as the pump; without one nothing is pending.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Takes one pending message off the queue and dispatches it, if there is
  // one; never waits. Returns true when a message was dispatched.
  virtual bool PumpOne() = 0;
};

// The pump in force, followed by the clock's pump hook (a virtual clock
// moves on). Every wait loop calls this once per pass.
bool PumpOneMessage();

// The same pass for a loop that waits for something outside: when no
// message was pending it also blocks until the next clock tick instead of
// coming straight back, so a wait costs no processor time. Still at most
// one message per pass.
bool PumpOrIdle();

}  // namespace platform
