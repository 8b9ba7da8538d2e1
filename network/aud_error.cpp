#include <cerrno>

#include "network/aud_types.h"

namespace {

struct ErrorText {
  const char* name;
  const char* text;
};

constexpr ErrorText kErrors[AUD_ERROR_COUNT] = {
    {"SUCCESS", "success"},
    {"DONE", "operation done"},
    {"SYSTEM", "system-specific error"},
    {"INVALIDPARAMETER", "invalid parameter"},
    {"INVALIDDATA", "invalid data"},
    {"INVALIDSTATE", "invalid state"},
    {"NOMEMORY", "out of memory"},
    {"INTERRUPTED", "interrupted"},
    {"TRUNCATED", "message truncated"},
    {"NOTSUPPORTED", "operation not supported"},
    {"TIMEDOUT", "operation timed out"},
    {"NOTFOUND", "object or item not found"},
    {"DNSSDFAIL", "DNS-SD system failed"},
    {"RANGE", "data out of range"},
    {"POLICY", "administrative policy violation"},
    {"VERSION", "unsupported version"},
    {"ACCES", "access"},
    {"ADDRINUSE", "address in use"},
    {"ADDRNOTAVAIL", "address not available"},
    {"AFNOSUPPORT", "address family not supported"},
    {"ALREADY", "operation already in progress"},
    {"BADF", "bad file"},
    {"CONNABORTED", "connection aborted"},
    {"CONNREFUSED", "connection refused"},
    {"CONNRESET", "connection reset"},
    {"DESTADDRREQ", "destination address required"},
    {"FAULT", "fault"},
    {"HOSTUNREACH", "host unreachable"},
    {"INPROGRESS", "operation in progress"},
    {"ISCONN", "socket already connected"},
    {"MFILE", "too many open files"},
    {"MSGSIZE", "message too long"},
    {"NETDOWN", "network down"},
    {"NETRESET", "network reset"},
    {"NETUNREACH", "network unreachable"},
    {"NOBUFS", "no buffers"},
    {"NODATA", "no data"},
    {"NODEV", "no such device"},
    {"NOPROTOOPT", "protocol not available"},
    {"NORECOVERY", "non-recoverable error"},
    {"NOTCONN", "not connected"},
    {"NOTINITIALISED", "not initialised"},
    {"NOTSOCK", "not a socket"},
    {"PROTONOSUPPORT", "unsupported protocol"},
    {"PROTOTYPE", "wrong protocol type for socket"},
    {"SHUTDOWN", "socket has shut down"},
    {"SOCKTNOSUPPORT", "socket type not supported"},
    {"TRYAGAIN", "try again"},
    {"NOTRUNNING", "not running"},
};

struct Mapping {
  int os;
  aud_error error;
};

// The POSIX counterparts of the Windows codes the library was written
// against; a would-block receive is a time-out, as it was there.
constexpr Mapping kMappings[] = {
    {0, AUD_SUCCESS},
    {EINVAL, AUD_ERR_INVALIDPARAMETER},
    {ENAMETOOLONG, AUD_ERR_INVALIDPARAMETER},
    {ENOMEM, AUD_ERR_NOMEMORY},
    {EINTR, AUD_ERR_INTERRUPTED},
    {EOPNOTSUPP, AUD_ERR_NOTSUPPORTED},
    {ETIMEDOUT, AUD_ERR_TIMEDOUT},
    {EAGAIN, AUD_ERR_TIMEDOUT},
    {EWOULDBLOCK, AUD_ERR_TIMEDOUT},
    {ENOENT, AUD_ERR_NOTFOUND},
    {EACCES, AUD_ERR_ACCES},
    {EPERM, AUD_ERR_ACCES},
    {EADDRINUSE, AUD_ERR_ADDRINUSE},
    {EADDRNOTAVAIL, AUD_ERR_ADDRNOTAVAIL},
    {EAFNOSUPPORT, AUD_ERR_AFNOSUPPORT},
    {EALREADY, AUD_ERR_ALREADY},
    {ECONNABORTED, AUD_ERR_CONNABORTED},
    {ECONNREFUSED, AUD_ERR_CONNREFUSED},
    {ECONNRESET, AUD_ERR_CONNRESET},
    {EDESTADDRREQ, AUD_ERR_DESTADDRREQ},
    {EFAULT, AUD_ERR_FAULT},
    {EHOSTUNREACH, AUD_ERR_HOSTUNREACH},
    {EINPROGRESS, AUD_ERR_INPROGRESS},
    {EISCONN, AUD_ERR_ISCONN},
    {EMFILE, AUD_ERR_MFILE},
    {EMSGSIZE, AUD_ERR_MSGSIZE},
    {ENETDOWN, AUD_ERR_NETDOWN},
    {ENETRESET, AUD_ERR_NETRESET},
    {ENETUNREACH, AUD_ERR_NETUNREACH},
    {ENOBUFS, AUD_ERR_NOBUFS},
    {ENODATA, AUD_ERR_NODATA},
    {ENOPROTOOPT, AUD_ERR_NOPROTOOPT},
    {ENOTCONN, AUD_ERR_NOTCONN},
    {ENOTSOCK, AUD_ERR_NOTSOCK},
    {EPROTONOSUPPORT, AUD_ERR_PROTONOSUPPORT},
    {EPROTOTYPE, AUD_ERR_PROTOTYPE},
    {ESHUTDOWN, AUD_ERR_SHUTDOWN},
    {ESOCKTNOSUPPORT, AUD_ERR_SOCKTNOSUPPORT},
};

}  // namespace

const char* aud_error_get_name(aud_error error) {
  return error < AUD_ERROR_COUNT ? kErrors[error].name : "UNKNOWN";
}

const char* aud_error_message(aud_error error) {
  return error < AUD_ERROR_COUNT ? kErrors[error].text : "unknown error";
}

aud_error aud_error_from_system_error(int osError) {
  for (const Mapping& m : kMappings) {
    if (m.os == osError) return m.error;
  }
  return AUD_ERR_SYSTEM;
}
