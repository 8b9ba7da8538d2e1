#pragma once
// The driver transport: reaches units attached over Thunderbolt through the
// host driver's Z2Mixer devices. Each adapter that reports a known unit is
// one connection; messages go out and come back whole in fixed 2056-byte
// request buffers.
#include <cstdint>

#include "platform/devctl/device_control.h"
#include "protocol/driver_queries.h"
#include "protocol/orvella_interface.h"

class CHalMIDI : public COrvellaInterface, public DriverQueries {
 public:
  static constexpr int kMaxConnections = 8;

  CHalMIDI();
  ~CHalMIDI() override;

  ORVELLA_INTERFACE_OPERATIONS

  uint16_t GetAdapterInfo() override;
  int ReadAdapterValue(uint32_t* value) override;

  // Type words (bus kind low, product id high) that make an adapter a
  // connection: Thunderbolt with product id 0, 38, 39, 49 or 96.
  static bool AcceptedTypeWord(uint16_t type);

 private:
  // The adapter information answer for `adapter`; false when it failed.
  bool QueryInfo(uint16_t adapter, uint8_t answer[16]);
  void AdapterRequest(uint32_t code, uint16_t adapter);

  uint16_t m_nSelected;
  uint16_t m_nConnections;
  uint16_t m_nAdapter[kMaxConnections];
  platform::DeviceHandle m_hDevice;
};
