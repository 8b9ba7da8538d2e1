#pragma once
#include <cstdint>

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

// What a waiting loop may know about the links: for how many milliseconds
// from now nothing can change that it watches (a message still on the
// wire, say). 0 means "could change at any moment". A link service that
// can tell puts itself in force; without one every idle pass is one tick.
class WakeHint {
 public:
  virtual ~WakeHint() = default;
  virtual uint32_t QuietMs() = 0;
};

// Longest a window's wait idles in one pass, so the window still answers
// promptly (one frame of the application's 16 ms timer).
constexpr uint32_t kLongestIdleMs = 16;

// The pump in force, followed by the clock's pump hook (a virtual clock
// moves on). Every wait loop calls this once per pass.
bool PumpOneMessage();

// The same pass for a loop that waits for something outside: when no
// message was pending it also blocks until the next clock tick instead of
// coming straight back, so a wait costs no processor time. Still at most
// one message per pass. Where the wake hint knows the links stay quiet for
// longer it sleeps that long (at most kLongestIdleMs).
bool PumpOrIdle();

}  // namespace platform
