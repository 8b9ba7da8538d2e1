#pragma once
// The shared ground of the discovery library: error codes, time values,
// socket sets, 8-byte identifiers, interface entries and the process-wide
// environment with its logger. Plain functions over plain records, as the
// rest of the library is written.
#include <cstddef>
#include <cstdint>

#include "platform/core/printf_format.h"

// ------------------------------------------------------------------ errors

enum aud_error : unsigned {
  AUD_SUCCESS = 0,
  AUD_ERR_DONE,
  AUD_ERR_SYSTEM,
  AUD_ERR_INVALIDPARAMETER,
  AUD_ERR_INVALIDDATA,
  AUD_ERR_INVALIDSTATE,
  AUD_ERR_NOMEMORY,
  AUD_ERR_INTERRUPTED,
  AUD_ERR_TRUNCATED,
  AUD_ERR_NOTSUPPORTED,
  AUD_ERR_TIMEDOUT,
  AUD_ERR_NOTFOUND,
  AUD_ERR_DNSSDFAIL,
  AUD_ERR_RANGE,
  AUD_ERR_POLICY,
  AUD_ERR_VERSION,
  AUD_ERR_ACCES,
  AUD_ERR_ADDRINUSE,
  AUD_ERR_ADDRNOTAVAIL,
  AUD_ERR_AFNOSUPPORT,
  AUD_ERR_ALREADY,
  AUD_ERR_BADF,
  AUD_ERR_CONNABORTED,
  AUD_ERR_CONNREFUSED,
  AUD_ERR_CONNRESET,
  AUD_ERR_DESTADDRREQ,
  AUD_ERR_FAULT,
  AUD_ERR_HOSTUNREACH,
  AUD_ERR_INPROGRESS,
  AUD_ERR_ISCONN,
  AUD_ERR_MFILE,
  AUD_ERR_MSGSIZE,
  AUD_ERR_NETDOWN,
  AUD_ERR_NETRESET,
  AUD_ERR_NETUNREACH,
  AUD_ERR_NOBUFS,
  AUD_ERR_NODATA,
  AUD_ERR_NODEV,
  AUD_ERR_NOPROTOOPT,
  AUD_ERR_NORECOVERY,
  AUD_ERR_NOTCONN,
  AUD_ERR_NOTINITIALISED,
  AUD_ERR_NOTSOCK,
  AUD_ERR_PROTONOSUPPORT,
  AUD_ERR_PROTOTYPE,
  AUD_ERR_SHUTDOWN,
  AUD_ERR_SOCKTNOSUPPORT,
  AUD_ERR_TRYAGAIN,
  AUD_ERR_NOTRUNNING,
};
inline constexpr unsigned AUD_ERROR_COUNT = AUD_ERR_NOTRUNNING + 1;

// "SUCCESS", "TIMEDOUT" ...; "UNKNOWN" beyond the table.
const char* aud_error_get_name(aud_error error);
// "success", "operation timed out" ...; "unknown error" beyond the table.
const char* aud_error_message(aud_error error);
// The library's code for an operating-system error number (errno); codes
// without a counterpart are SYSTEM.
aud_error aud_error_from_system_error(int osError);

// ------------------------------------------------------------------- time

// Seconds and microseconds (0 .. 999999) since 1970-01-01 UTC.
struct aud_time {
  int32_t seconds;
  int32_t microseconds;
};

// Now, from the platform clock (so tests can run it on a virtual clock).
aud_time aud_time_now();
// -1, 0 or 1 as a is earlier than, equal to or later than b.
int aud_time_cmp(const aud_time& a, const aud_time& b);
// a + b with whole seconds carried out of the microseconds.
aud_time aud_time_add(const aud_time& a, const aud_time& b);

// ------------------------------------------------------------ socket sets

inline constexpr unsigned AUD_SOCKET_SET_SIZE = 1024;

struct aud_socket_list {
  unsigned count;
  int sockets[AUD_SOCKET_SET_SIZE];
};

// A read set and a write set (the write set stays empty here); n is the
// number of sockets in the read set.
struct aud_socket_set {
  int n;
  aud_socket_list read;
  aud_socket_list write;
};

void aud_socket_set_clear(aud_socket_set* set);
// Adds `socket` to the read set; a socket already there is not added
// twice. False when the set is full.
bool aud_socket_set_add(aud_socket_set* set, int socket);
// Takes `socket` out of the read set (later entries move up); false when
// it was not there.
bool aud_socket_set_remove(aud_socket_set* set, int socket);
bool aud_socket_set_contains(const aud_socket_set* set, int socket);
// Waits up to `timeoutMs` for sockets of the read set to become readable
// and leaves only those in it. Returns their number, 0 on time-out, -1 when
// the wait failed (the set is then emptied).
int aud_socket_set_wait(aud_socket_set* set, int timeoutMs);

// ------------------------------------------------------------- identifiers

struct aud_id {
  uint8_t data[8];
};
inline constexpr size_t AUD_ID_TEXT_SIZE = 18;

// The value of one hexadecimal digit (either case), -1 for anything else.
int aud_hex_value(char c);
// The text form into `text` (at least AUD_ID_TEXT_SIZE bytes); returns text.
char* aud_id_to_text(const aud_id* id, char* text);
// Parses a terminated text; false (and *id zeroed) when it is not a valid id.
bool aud_id_from_text(aud_id* id, const char* text);
// The same for text of exactly `length` bytes without a terminator.
bool aud_id_from_text_length(aud_id* id, const char* text, size_t length);

// -------------------------------------------------------------- the logger

enum aud_log_level : unsigned {
  AUD_LOG_NONE = 0,
  AUD_LOG_CRITICAL,
  AUD_LOG_ERROR,
  AUD_LOG_WARNING,
  AUD_LOG_NOTICE,
  AUD_LOG_INFO,
  AUD_LOG_DEBUG,
  AUD_LOG_VERBOSE,
};

struct aud_log;
using aud_log_callback = void (*)(void* context, unsigned level, const char* line);

// "None" ... "Verbose"; "Undef" for any higher value.
const char* aud_log_level_name(unsigned level);
aud_log* aud_log_new();
void aud_log_delete(aud_log* log);
void aud_log_set_threshold(aud_log* log, unsigned level);
unsigned aud_log_get_threshold(const aud_log* log);
// Where formatted lines go besides nowhere: standard error and/or a callback.
void aud_log_set_stderr(aud_log* log, bool enabled);
void aud_log_set_callback(aud_log* log, aud_log_callback callback, void* context);
// printf-style; formatted only when `level` is at or below the threshold.
void aud_log_printf(aud_log* log, unsigned level, const char* format, ...) REFLASH_PRINTF_FORMAT(3, 4);

// ------------------------------------------------------------- environment

struct aud_env_s;
using aud_env = aud_env_s*;

// The one process-wide environment, counted. SUCCESS, INVALIDPARAMETER for
// a null `out`, NOMEMORY.
aud_error aud_env_acquire(aud_env* out);
// Drops one reference; the last one frees the logger.
aud_error aud_env_release(aud_env env);
// Diagnostics for tests: the current reference count, and the logger.
unsigned aud_env_reference_count();
aud_log* aud_env_get_log(aud_env env);

// --------------------------------------------------------------- interfaces

struct aud_interface {
  char friendly_name[64];   // the adapter name on this platform
  char adapter_name[256];
  unsigned index;
  uint16_t pktinfo_index;   // the index's low 16 bits
  int kind;                 // 1 other, 2 loopback, 3 wireless, 4 virtual, 5 firewire, 6 bluetooth
  uint8_t physical_address[8];
  uint32_t address;         // first IPv4 address, network byte order
  uint32_t netmask;
  uint32_t dns_server;      // not known on this platform: 0
  uint32_t gateway;         // not known on this platform: 0
  char dns_suffix[64];
  bool up;
  bool loopback;
  bool multicast;
  uint32_t link_speed;      // Mbit/s, up interfaces only
};

// Every interface, sorted by kind then index, in a list the caller frees
// with aud_interface_list_free. `env` (may be null) is where warnings go.
aud_error aud_interface_list_with_env(aud_env env, aud_interface** list, unsigned* count);
void aud_interface_list_free(aud_interface* list);
// The first loopback entry; NOTFOUND when there is none.
aud_error aud_interface_find_loopback(aud_interface* out);
// Test seam: the folder read for kinds and speeds (default /sys/class/net);
// null restores the default.
void aud_interface_set_sysfs_root(const char* path);
