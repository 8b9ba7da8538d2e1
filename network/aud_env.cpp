#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>

#include "network/aud_types.h"

// ------------------------------------------------------------------ logger

struct aud_log {
  unsigned threshold = AUD_LOG_NONE;
  bool toStderr = false;
  aud_log_callback callback = nullptr;
  void* context = nullptr;
  std::string buffer;  // made on the first line that passes the threshold
};

namespace {
constexpr size_t kLogBufferSize = 16 * 1024;
constexpr const char* kLevelNames[] = {"None", "Critical", "Error", "Warning", "Notice", "Info", "Debug", "Verbose"};
}  // namespace

const char* aud_log_level_name(unsigned level) {
  return level < sizeof kLevelNames / sizeof kLevelNames[0] ? kLevelNames[level] : "Undef";
}

aud_log* aud_log_new() { return new (std::nothrow) aud_log; }
void aud_log_delete(aud_log* log) { delete log; }
void aud_log_set_threshold(aud_log* log, unsigned level) {
  if (log) log->threshold = level;
}
unsigned aud_log_get_threshold(const aud_log* log) { return log ? log->threshold : AUD_LOG_NONE; }
void aud_log_set_stderr(aud_log* log, bool enabled) {
  if (log) log->toStderr = enabled;
}
void aud_log_set_callback(aud_log* log, aud_log_callback callback, void* context) {
  if (!log) return;
  log->callback = callback;
  log->context = context;
}

void aud_log_printf(aud_log* log, unsigned level, const char* format, ...) {
  if (log == nullptr || level == AUD_LOG_NONE || level > log->threshold) return;
  if (log->buffer.empty()) log->buffer.resize(kLogBufferSize);
  va_list args;
  va_start(args, format);
  vsnprintf(log->buffer.data(), log->buffer.size(), format, args);
  va_end(args);
  if (log->toStderr) fputs(log->buffer.c_str(), stderr);
  if (log->callback) log->callback(log->context, level, log->buffer.c_str());
}

// ------------------------------------------------------------- environment

struct aud_env_s {
  unsigned references = 0;
  aud_log* log = nullptr;
  bool ownsLog = false;
};

namespace {
// The one environment. The Windows start-up steps (sockets library, event
// source, power-monitor window class) have no counterpart here.
aud_env_s theEnvironment;
}  // namespace

aud_error aud_env_acquire(aud_env* out) {
  if (out == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (theEnvironment.references == 0) {
    theEnvironment.log = aud_log_new();
    if (theEnvironment.log == nullptr) return AUD_ERR_NOMEMORY;
    theEnvironment.ownsLog = true;
  }
  ++theEnvironment.references;
  *out = &theEnvironment;
  return AUD_SUCCESS;
}

aud_error aud_env_release(aud_env env) {
  if (env == nullptr || env->references == 0) return AUD_ERR_INVALIDPARAMETER;
  if (--env->references == 0) {
    if (env->ownsLog) aud_log_delete(env->log);
    env->log = nullptr;
    env->ownsLog = false;
  }
  return AUD_SUCCESS;
}

unsigned aud_env_reference_count() { return theEnvironment.references; }
aud_log* aud_env_get_log(aud_env env) { return env ? env->log : nullptr; }
