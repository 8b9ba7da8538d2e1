#pragma once
// What an idle wait blocks on: the descriptors the open links receive on.
// A wait loop that found nothing to do blocks here until one of them is
// readable or its idle time is up, so an answer is seen the moment it
// arrives, input already queued ends the wait at once, and a wait costs no
// processor time. A link watches its descriptor while it is open and
// forgets it when it closes.
#include <cstdint>

#include "platform/core/service.h"

namespace platform {

class InputWait {
 public:
  virtual ~InputWait() = default;
  // Adds `descriptor` (a socket, a sequencer's poll descriptor); watching
  // one twice keeps one entry.
  virtual void Watch(int descriptor) = 0;
  // Removes it; unknown descriptors are ignored.
  virtual void Forget(int descriptor) = 0;
  // Blocks until a watched descriptor is readable or `ms` pass, and
  // returns true; returns at once when one is readable already or a
  // signal arrives. False, without waiting, when nothing is watched: the
  // caller then idles on the clock.
  virtual bool Wait(uint32_t ms) = 0;
};

}  // namespace platform
