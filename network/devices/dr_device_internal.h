#pragma once
// What the context does with its handles while it processes.
#include "network/devices/dr_records.h"

// One step of a handle over the readable sockets in `set` (its own are
// taken out); the changed callback runs at the end with what changed.
aud_error dr_device_process(dr_device* device, aud_socket_set* set);
// Moves the handle to `state`, noting (or reporting at once, outside
// processing) a state change.
void dr_device_set_state(dr_device* device, dr_device_state state);
