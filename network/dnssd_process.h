#pragma once
// Runs the replies waiting on one DNS-SD operation's socket, for the browse
// object and the device-control context alike. Refuses, rather than
// blocking, when the socket is not the operation's own or has nothing to
// read: a DNS-SD library waits inside DNSServiceProcessResult otherwise,
// and our callers must never block.
#include "network/dnssd/dns_sd.h"

// kDNSServiceErr_BadParam (-65540) when `socket` is not the operation's
// socket; kDNSServiceErr_BadState (-65542) when nothing is there to read;
// kDNSServiceErr_Unknown when looking at the socket fails; else the result
// of DNSServiceProcessResult through the binding (replies run inside it).
DNSServiceErrorType dt_dns_sd_process_result(int socket, DNSServiceRef ref);
