#include "transports/hal_midi.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/core/clock.h"
#include "platform/devctl/z2mixer.h"

using platform::DeviceControl;

CHalMIDI::CHalMIDI() : m_nSelected(0xFFFF), m_nConnections(0), m_nAdapter{}, m_hDevice(platform::kNoDevice) {}

CHalMIDI::~CHalMIDI() {
  if (m_hDevice != platform::kNoDevice) Close();
}

bool CHalMIDI::AcceptedTypeWord(uint16_t type) {
  switch (type) {
    case 0x0014:
    case 0x2614:
    case 0x2714:
    case 0x3114:
    case 0x6014:
      return true;
    default:
      return false;
  }
}

bool CHalMIDI::QueryInfo(uint16_t adapter, uint8_t answer[z2mixer::kInfoSize]) {
  std::memset(answer, 0, z2mixer::kInfoSize);
  z2mixer::Put32(answer, adapter);
  uint32_t returned = 0;
  return platform::Devices().Request(m_hDevice, z2mixer::kAdapterInfo, answer, z2mixer::kInfoSize, answer,
                                     z2mixer::kInfoSize, &returned);
}

void CHalMIDI::AdapterRequest(uint32_t code, uint16_t adapter) {
  uint8_t request[4];
  z2mixer::Put32(request, adapter);
  uint32_t returned = 0;
  platform::Devices().Request(m_hDevice, code, request, sizeof request, nullptr, 0, &returned);
}

int CHalMIDI::Open() {
  DeviceControl& devices = platform::Devices();
  if (m_hDevice != platform::kNoDevice) Close();
  m_nConnections = 0;
  m_nSelected = 0xFFFF;
  for (int n = 0; n < z2mixer::kDevices && m_hDevice == platform::kNoDevice; ++n) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\Z2Mixer%d", n);
    m_hDevice = devices.OpenDevice(path);
  }
  if (m_hDevice == platform::kNoDevice) return 1;
  for (uint16_t adapter = 0; adapter < z2mixer::kAdapters; ++adapter) {
    uint8_t answer[z2mixer::kInfoSize];
    uint16_t type = QueryInfo(adapter, answer) ? z2mixer::Get16(answer + 4) : 0;
    if (AcceptedTypeWord(type) && m_nConnections < kMaxConnections) m_nAdapter[m_nConnections++] = adapter;
  }
  if (m_nConnections == 0) {
    Close();
    return 1;
  }
  return 0;
}

int CHalMIDI::Close() {
  if (m_hDevice != platform::kNoDevice) {
    for (uint16_t i = 0; i < m_nConnections; ++i) AdapterRequest(z2mixer::kGiveBack, m_nAdapter[i]);
    platform::Devices().CloseDevice(m_hDevice);
    m_hDevice = platform::kNoDevice;
  }
  m_nSelected = 0xFFFF;
  return 0;
}

void CHalMIDI::SetPortNameFilter(const char*) {}

bool CHalMIDI::IsOpen() { return m_hDevice != platform::kNoDevice; }

int CHalMIDI::GetNumberOfConnections(uint16_t* count) {
  if (count) *count = m_nConnections;
  return 0;
}

int CHalMIDI::SelectConnection(uint16_t index) {
  index &= 0x7FFF;
  if (index == m_nSelected) return 0;
  // An index past the list would address no adapter at all.
  if (index >= m_nConnections) return 1;
  if (m_nSelected != 0xFFFF) AdapterRequest(z2mixer::kGiveBack, m_nAdapter[m_nSelected]);
  m_nSelected = index;
  AdapterRequest(z2mixer::kTakeAdapter, m_nAdapter[m_nSelected]);
  return 0;
}

int CHalMIDI::GetSelectedConnection(uint16_t* index) {
  if (index) *index = m_nSelected;
  return 0;
}

int CHalMIDI::GetConnectionName(uint16_t, char* text, int size) {
  if (m_nSelected == 0xFFFF || !text || size <= 0) return 1;
  uint8_t answer[z2mixer::kInfoSize];
  if (!QueryInfo(m_nAdapter[m_nSelected], answer)) return 1;
  const char* name = answer[4] == z2mixer::kBusThunderbolt ? "Thunderbolt" : "Unknown!";
  std::strncpy(text, name, static_cast<size_t>(size));
  text[size - 1] = '\0';
  return 0;
}

int CHalMIDI::Write(const uint8_t* data, int length) {
  if (m_nSelected == 0xFFFF) return 0;
  if (length < 0 || static_cast<uint32_t>(length) > z2mixer::kMessageRoom || (!data && length > 0)) return 1;
  uint8_t request[z2mixer::kMessageRequestSize] = {};
  z2mixer::Put32(request, m_nAdapter[m_nSelected]);
  z2mixer::Put32(request + 4, static_cast<uint32_t>(length));
  if (length > 0) std::memcpy(request + 8, data, static_cast<size_t>(length));
  uint32_t returned = 0;
  return platform::Devices().Request(m_hDevice, z2mixer::kSend, request, sizeof request, nullptr, 0, &returned) ? 0 : 1;
}

int CHalMIDI::Read(uint8_t* buffer, int size, int* received) {
  if (received) *received = 0;
  if (m_nSelected == 0xFFFF) return 0;
  DeviceControl& devices = platform::Devices();
  platform::Clock& clock = platform::Use<platform::Clock>();
  const uint32_t t0 = clock.MidiTime();
  uint8_t request[z2mixer::kMessageRequestSize];
  for (;;) {
    std::memset(request, 0, sizeof request);
    z2mixer::Put32(request, m_nAdapter[m_nSelected]);
    z2mixer::Put32(request + 4, z2mixer::kMessageRoom);
    uint32_t returned = 0;
    if (!devices.Request(m_hDevice, z2mixer::kFetch, request, sizeof request, request, sizeof request, &returned)) {
      return 1;
    }
    uint32_t delivered = z2mixer::Get32(request + 4);
    if (delivered > z2mixer::kMessageRoom) delivered = z2mixer::kMessageRoom;  // a driver's word is not trusted
    if (delivered > 0) {
      uint32_t n = size > 0 && static_cast<uint32_t>(size) < delivered ? static_cast<uint32_t>(size) : delivered;
      if (size <= 0) n = 0;
      std::memcpy(buffer, request + 8, n);
      if (received) *received = static_cast<int>(n);
      return 0;
    }
    if (clock.MidiTime() != t0) return 0;
    // Nothing more can come before the tick moves: block until it does
    // instead of asking the driver again and again.
    clock.WaitForNextTick();
  }
}

uint16_t CHalMIDI::GetAdapterInfo() {
  if (m_nSelected == 0xFFFF) return 0;
  uint8_t answer[z2mixer::kInfoSize];
  return QueryInfo(m_nAdapter[m_nSelected], answer) ? z2mixer::Get16(answer + 4) : 0;
}

int CHalMIDI::ReadAdapterValue(uint32_t* value) {
  if (value) *value = 0;
  if (m_nSelected == 0xFFFF) return 1;
  uint8_t request[z2mixer::kValueSize] = {};
  z2mixer::Put16(request + 0, m_nAdapter[m_nSelected]);
  z2mixer::Put16(request + 2, 0x0030);
  z2mixer::Put16(request + 4, 0x0033);
  z2mixer::Put16(request + 6, 0x00F2);
  z2mixer::Put32(request + 12, 4);
  uint32_t returned = 0;
  if (!platform::Devices().Request(m_hDevice, z2mixer::kAdapterValue, request, sizeof request, request, sizeof request,
                                   &returned)) {
    return 1;
  }
  if (value) *value = z2mixer::Get32(request + 16);
  return 0;
}
