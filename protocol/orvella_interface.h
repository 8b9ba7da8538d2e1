#pragma once
#include <cstdint>

// The byte transport under the protocol engine. One transport reaches
// several units ("connections", numbered 0..n-1 by Open); Write and Read
// address the selected one. The slot order of the twelve operations is part
// of the interface: every implementation keeps it.
//
// Results: 0 success, non-zero (1) failure; IsOpen is a plain bool.
class COrvellaInterface {
 public:
  // Slot 0. The owner calls Close before deleting a transport that opened;
  // a transport whose Open failed is deleted without Close.
  virtual ~COrvellaInterface() {}
  // Slot 1. Finds every reachable connection; none is selected afterwards.
  // 0 when at least one was found.
  virtual int Open() = 0;
  // Slot 2. Releases every handle; IsOpen is false afterwards. Returns 0.
  virtual int Close() = 0;
  // Slot 3. Keep only ports whose name contains `text` (MIDI transport only).
  virtual void SetPortNameFilter(const char* text) = 0;
  // Slot 4.
  virtual bool IsOpen() = 0;
  // Slot 5. Connections found by the last Open.
  virtual int GetNumberOfConnections(uint16_t* count) = 0;
  // Slot 6. Selecting the index already selected returns 0 and does nothing.
  virtual int SelectConnection(uint16_t index) = 0;
  // Slot 7. 0xFFFF when none is selected.
  virtual int GetSelectedConnection(uint16_t* index) = 0;
  // Slot 8. A readable name of the connection, at most `size` bytes with the
  // terminator.
  virtual int GetConnectionName(uint16_t index, char* text, int size) = 0;
  // Slot 9. Route writes to the option card's own endpoint. Only the network
  // transport supports it.
  virtual int SetCardTarget(bool card) {
    (void)card;
    return 1;
  }
  // Slot 10. One complete frame (at most 152 bytes), whole and in order.
  virtual int Write(const uint8_t* data, int length) = 0;
  // Slot 11. Never blocks for long; copies what arrived since the last call
  // (0 bytes is success). Non-zero means the link failed.
  virtual int Read(uint8_t* buffer, int size, int* received) = 0;
};

// Declares, in the body of a transport's class, the operations every
// transport implements (documented above); the class defines them. A
// transport that routes to an option card declares SetCardTarget too.
#define ORVELLA_INTERFACE_OPERATIONS                                    \
  int Open() override;                                                  \
  int Close() override;                                                 \
  void SetPortNameFilter(const char* text) override;                    \
  bool IsOpen() override;                                               \
  int GetNumberOfConnections(uint16_t* count) override;                 \
  int SelectConnection(uint16_t index) override;                        \
  int GetSelectedConnection(uint16_t* index) override;                  \
  int GetConnectionName(uint16_t index, char* text, int size) override; \
  int Write(const uint8_t* data, int length) override;                  \
  int Read(uint8_t* buffer, int size, int* received) override;

// Transport type numbers as the engine reports them.
enum : uint16_t {
  kTransportDriver = 2,
  kTransportMidi = 3,
  kTransportNetwork = 5,
};
