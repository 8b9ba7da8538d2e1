#pragma once
// Wake-ups for operations whose callers wait on the socket.
//
// Without a daemon, an operation's timers (the next question, a record's
// end of life) run when the caller enters the library. A caller that
// waits on DNSServiceRefSockFD and processes only a readable socket would
// never enter it on a quiet network. So when an operation has something
// due, a helper thread makes its socket readable at that time: it sends a
// 12-byte empty DNS query to the group on the operation's interface with
// a multicast TTL of 0, which the kernel loops back to the local members
// of the group and never puts on the wire. The thread touches nothing of
// the operation; all the work stays on the caller's thread, which reads the
// wake-up like any other datagram (and ignores it) and runs what is due.
#include <cstdint>

#include "network/dnssd/mdns_socket.h"

namespace mdns {

// (Re)schedules the wake-up of `key` at `dueMs` (monotonic; -1 cancels).
void ScheduleWake(const void* key, int64_t dueMs, const Endpoint& endpoint, unsigned interface);
// Forgets `key`; `lastOne` stops the thread (no operation is left).
void CancelWake(const void* key, bool lastOne);

}  // namespace mdns
