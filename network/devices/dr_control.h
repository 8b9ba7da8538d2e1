#pragma once
// The context's UDP control socket and its 16 request slots. Nothing in
// discovery sends a request; the socket is still drained on every readable
// event, and datagrams that match no outstanding request are dropped.
#include <cstddef>
#include <cstdint>

#include "network/devices/dr_records.h"

// A non-blocking IPv4 UDP socket, not bound. Its OS error as an aud_error.
aud_error dr_devices_enable_socket_inet(dr_devices* devices);
void dr_devices_disable_socket(dr_devices* devices);
// Receives and handles datagrams until none is left. SUCCESS when the
// socket ran dry, INTERRUPTED unchanged, other receive errors logged and
// returned.
aud_error dr_devices_drain_control_socket(dr_devices* devices);
// One received datagram: a matching response goes to its request (which
// is then free again); anything else is dropped.
void dr_devices_process_message(dr_devices* devices, const uint8_t* data, size_t length);

// Takes a free request slot for `device`, with a new sequence number; null
// when all 16 are taken.
dr_request* dr_devices_request_allocate(dr_devices* devices, dr_device* device, uint16_t opcode,
                                        dr_response_fn on_response, void* context);
// Frees every slot `device` holds (its responses are then unmatched).
void dr_devices_release_requests(dr_devices* devices, const dr_device* device);
