#pragma once
#include <cstdint>

// The two adapter queries of the driver transport. COrvellaRemote reaches
// them with dynamic_cast when the transport type is 2 and presets the
// identity registers from them before it reads the unit.
class DriverQueries {
 public:
  virtual ~DriverQueries() = default;
  // The type word of the selected adapter (high byte: the unit's product
  // id), or 0 when the request fails.
  virtual uint16_t GetAdapterInfo() = 0;
  // A 32-bit value of the selected adapter; 0 with the value, or 1 with 0
  // written when the request fails.
  virtual int ReadAdapterValue(uint32_t* value) = 0;
};
