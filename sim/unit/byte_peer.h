#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {

// A simulated device seen from a link: bytes in, bytes out. Simulated MIDI
// ports, the simulated host driver and the in-process link all carry bytes
// between the engine and a BytePeer, so one unit model serves every link.
class BytePeer {
 public:
  virtual ~BytePeer() = default;
  // Bytes the host sent (whole or partial frames). `toCard` is true when the
  // link addresses the option card's own endpoint (in-process card link).
  virtual void FromHost(const uint8_t* data, size_t n, bool toCard) = 0;
  // Moves the device's time-driven state on to the clock's present and hands
  // over up to `max` bytes it has sent since the last call; returns the count.
  virtual size_t ToHost(uint8_t* out, size_t max) = 0;
};

}  // namespace sim
