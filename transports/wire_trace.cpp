#include "transports/wire_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/core/append_file.h"
#include "platform/core/clock.h"
#include "platform/core/outside_text.h"

namespace {

// The one trace file of the process and the tick its times count from.
std::FILE* g_traceFile = nullptr;
uint32_t g_traceStart = 0;
std::string g_tracePath;
bool g_writeFailureReported = false;

// Lines lost to a full disk are said once, as the log's are.
void CheckWritten() {
  if (std::fflush(g_traceFile) == 0 && !std::ferror(g_traceFile)) return;
  const int error = errno;
  std::clearerr(g_traceFile);
  if (g_writeFailureReported) return;
  g_writeFailureReported = true;
  std::fprintf(stderr, "reflash: cannot write the trace file %s (%s); trace lines are being lost\n",
               EscapeOutsideText(g_tracePath).c_str(), std::strerror(error));
}

}  // namespace

bool EnableWireTrace(const char* path, int* error) {
  DisableWireTrace();
  if (!path || !*path) {
    if (error) *error = ENOENT;
    return false;
  }
  // Never blocks on a FIFO or a device, and never follows a link planted
  // in the file's place: only a regular file is traced to.
  g_traceFile = platform::OpenForAppend(path, false, error);
  if (!g_traceFile) return false;
  g_tracePath = path;
  g_writeFailureReported = false;
  g_traceStart = platform::TickCount();
  std::fseek(g_traceFile, 0, SEEK_END);
  if (std::ftell(g_traceFile) > 0) {
    const platform::LocalTime now = platform::Use<platform::Clock>().Now();
    std::fprintf(g_traceFile, "# new run %04d-%02d-%02d %02d:%02d:%02d\n", now.year, now.month, now.day, now.hour,
                 now.minute, now.second);
    CheckWritten();
  }
  return true;
}

void DisableWireTrace() {
  if (g_traceFile) std::fclose(g_traceFile);
  g_traceFile = nullptr;
}

bool WireTraceEnabled() { return g_traceFile != nullptr; }

COrvellaInterface* WithWireTrace(COrvellaInterface* inner) {
  if (!inner || !g_traceFile) return inner;
  return new CTracingTransport(inner);
}

CTracingTransport::~CTracingTransport() { delete m_pInner; }

void CTracingTransport::Trace(const char* direction, const uint8_t* data, int length) {
  if (!g_traceFile || length <= 0) return;
  uint16_t connection = 0xFFFF;
  m_pInner->GetSelectedConnection(&connection);
  std::fprintf(g_traceFile, "%lu %s %u", static_cast<unsigned long>(platform::TickCount() - g_traceStart), direction,
               static_cast<unsigned>(connection));
  for (int i = 0; i < length; ++i) std::fprintf(g_traceFile, " %02X", data[i]);
  std::fputc('\n', g_traceFile);
  CheckWritten();
}

int CTracingTransport::Write(const uint8_t* data, int length) {
  Trace("out", data, length);
  return m_pInner->Write(data, length);
}

int CTracingTransport::Read(uint8_t* buffer, int size, int* received) {
  int local = 0;
  int* count = received ? received : &local;
  int result = m_pInner->Read(buffer, size, count);
  Trace("in", buffer, *count);
  return result;
}

uint16_t CTracingTransport::GetAdapterInfo() {
  auto* queries = dynamic_cast<DriverQueries*>(m_pInner);
  return queries ? queries->GetAdapterInfo() : 0;
}

int CTracingTransport::ReadAdapterValue(uint32_t* value) {
  auto* queries = dynamic_cast<DriverQueries*>(m_pInner);
  if (!queries) {
    if (value) *value = 0;
    return 1;
  }
  return queries->ReadAdapterValue(value);
}
