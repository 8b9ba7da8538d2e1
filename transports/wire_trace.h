#pragma once
// The wire trace (--trace=FILE): one line per transport Write and per Read
// that delivered bytes, on every link:
//   <ms since the trace began> <out|in> <connection index> <bytes in hex>
// A run that appends to a trace already holding lines first writes
//   # new run <yyyy-mm-dd hh:mm:ss>
// so that one run's lines are never read as the last run's.
// Off by default; when off the transports are not wrapped at all.
#include <cstdint>

#include "protocol/driver_queries.h"
#include "protocol/orvella_interface.h"

// Starts appending to `path`, never through a symbolic link and only to a
// regular file. False when the file cannot be opened (the trace then stays
// off), with *error set to the errno (ELOOP for a link, EINVAL for a file
// that is not a regular one). A trace that later cannot be written is
// reported once on the error stream.
bool EnableWireTrace(const char* path, int* error = nullptr);
// Stops the trace and closes its file.
void DisableWireTrace();
bool WireTraceEnabled();

// Returns `inner` wrapped in a tracing transport when the trace is on, else
// `inner` itself. The wrapper owns `inner`.
COrvellaInterface* WithWireTrace(COrvellaInterface* inner);

// Forwards every operation to the transport it owns and writes the trace
// lines. It offers the driver queries too, forwarded when the inner
// transport has them.
class CTracingTransport : public COrvellaInterface, public DriverQueries {
 public:
  explicit CTracingTransport(COrvellaInterface* inner) : m_pInner(inner) {}
  ~CTracingTransport() override;

  int Open() override { return m_pInner->Open(); }
  int Close() override { return m_pInner->Close(); }
  void SetPortNameFilter(const char* text) override { m_pInner->SetPortNameFilter(text); }
  bool IsOpen() override { return m_pInner->IsOpen(); }
  int GetNumberOfConnections(uint16_t* count) override { return m_pInner->GetNumberOfConnections(count); }
  int SelectConnection(uint16_t index) override { return m_pInner->SelectConnection(index); }
  int GetSelectedConnection(uint16_t* index) override { return m_pInner->GetSelectedConnection(index); }
  int GetConnectionName(uint16_t index, char* text, int size) override {
    return m_pInner->GetConnectionName(index, text, size);
  }
  int SetCardTarget(bool card) override { return m_pInner->SetCardTarget(card); }
  int Write(const uint8_t* data, int length) override;
  int Read(uint8_t* buffer, int size, int* received) override;

  uint16_t GetAdapterInfo() override;
  int ReadAdapterValue(uint32_t* value) override;

 private:
  void Trace(const char* direction, const uint8_t* data, int length);

  COrvellaInterface* m_pInner;
};
