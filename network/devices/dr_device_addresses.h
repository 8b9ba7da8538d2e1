#pragma once
// A handle's address slots: each finds one IPv4 address by a DNS-SD
// resolve of the device's instance, then an A query of its host name (a
// loopback reply without a host name needs none).
#include <cstdint>

#include "network/devices/dr_records.h"

// Resets `addresses` to `count` idle slots belonging to `device`.
void dr_device_addresses_init(dr_device_addresses* addresses, dr_device* device, unsigned count);
// Starts resolving slot `index`, accepting replies on `interface_index`
// (0: the first reply's) or the loopback interface. DNSSDFAIL when the
// resolve does not start.
aud_error dr_device_addresses_resolve_address_at_index(dr_device_addresses* addresses, unsigned index,
                                                       unsigned interface_index);
// Ends the slot's DNS-SD operation, if any.
void dr_device_address_cancel(dr_device_address* slot);
// Runs the replies waiting on every slot whose socket is in `set`, taking
// those sockets out of it. `done` is set when a slot finished with an
// address. The first error ends the step.
aud_error dr_device_addresses_process_sockets(dr_device_addresses* addresses, aud_socket_set* set, bool* done);

// The reply handlers, named here so tests can feed them replies directly.
void device_address_resolve_callback(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interface_index,
                                     DNSServiceErrorType error, const char* full_name, const char* host_target,
                                     uint16_t port, uint16_t txt_length, const unsigned char* txt, void* context);
void device_address_query_callback(DNSServiceRef ref, DNSServiceFlags flags, uint32_t interface_index,
                                   DNSServiceErrorType error, const char* full_name, uint16_t rrtype,
                                   uint16_t rrclass, uint16_t rdlen, const void* rdata, uint32_t ttl,
                                   void* context);
