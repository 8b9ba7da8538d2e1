#pragma once
// The device-control context and its device handles. Opening a handle by a
// device's name finds the device's IPv4 address: the device's
// "_netaudio-arc._udp." instance is resolved to a host name, port and TXT
// record, then the host name's A record is queried. The handle's state moves
// from RESOLVING to RESOLVED when an address is known. An address heard
// on the loopback interface is the device's own A record when that is a
// loopback address (several devices on this computer keep theirs apart),
// else, for any host address, the loopback interface's address. A handle whose
// record was refused (bad TXT versions, an address record that is not 4
// bytes, a DNS-SD error) stops resolving and stays RESOLVING until closed:
// there is no time limit here, the caller bounds its own wait.
//
// Like the browse object it owns no thread: the caller waits on the sockets
// that dr_devices_get_sockets gives and calls dr_devices_process. Every
// DNS-SD call goes through the binding (DnsSd()).
#include <cstdint>

#include "network/aud_types.h"

struct dr_devices;
struct dr_device;

enum dr_device_state : unsigned {
  DR_DEVICE_STATE_ERROR = 0,
  DR_DEVICE_STATE_RESOLVING = 1,
  DR_DEVICE_STATE_RESOLVED = 2,
  DR_DEVICE_STATE_QUERYING = 3,
  DR_DEVICE_STATE_ACTIVE = 4,
};
// "ERROR", "RESOLVING" ...; "UNKNOWN" for any other value.
const char* dr_device_state_to_string(unsigned state);

// Change bits given to a device's changed callback.
enum : unsigned {
  DR_DEVICE_CHANGE_STATE = 0x80,
  DR_DEVICE_CHANGE_ADDRESSES = 0x400,
};

// One address entry: IPv4 address in network byte order, port in host order.
struct dr_address {
  uint32_t host;
  uint16_t port;
};

enum : unsigned {
  DR_DEVICE_CONFIG_ADDRESSES = 0x1,   // the addresses are given (port 0 means 4440)
  DR_DEVICE_CONFIG_INTERFACES = 0x2,  // resolve on each listed interface
};

struct dr_device_open_config {
  const char* name;            // may be null with DR_DEVICE_CONFIG_ADDRESSES
  unsigned num_addresses;      // 1 or 2; 0 with a name means 1
  unsigned flags;
  dr_address addresses[2];     // with DR_DEVICE_CONFIG_ADDRESSES
  unsigned interface_indexes[2];  // with DR_DEVICE_CONFIG_INTERFACES
};

using dr_devices_sockets_changed_fn = void (*)(dr_devices* devices);
using dr_device_changed_fn = void (*)(dr_device* device, unsigned changes);

// NOMEMORY; socket errors.
aud_error dr_devices_new(aud_env env, dr_devices** out);
// INVALIDPARAMETER for null; INVALIDSTATE while any handle is open or
// from inside dr_devices_process (nothing is freed); else SUCCESS.
aud_error dr_devices_delete(dr_devices* devices);
void dr_devices_set_context(dr_devices* devices, void* context);
void* dr_devices_get_context(const dr_devices* devices);
void dr_devices_set_sockets_changed_callback(dr_devices* devices, dr_devices_sockets_changed_fn callback);
// Adds the control socket, then every active address-slot socket.
aud_error dr_devices_get_sockets(const dr_devices* devices, aud_socket_set* set);
// One step over the readable sockets in `set` (each handle's sockets are
// taken out of it). Errors of a handle are logged, not returned; the
// result is the control socket's. Callbacks run inside; a changed
// callback may close its own handle or any other.
aud_error dr_devices_process(dr_devices* devices, aud_socket_set* set);

aud_error dr_device_open_with_config(dr_devices* devices, const dr_device_open_config* config, dr_device** out);
aud_error dr_device_open_by_name(dr_devices* devices, const char* name, dr_device** out);
void dr_device_set_context(dr_device* device, void* context);
void* dr_device_get_context(const dr_device* device);
void dr_device_set_changed_callback(dr_device* device, dr_device_changed_fn callback);
dr_device_state dr_device_get_state(const dr_device* device);
// `count` holds the capacity of `entries` on entry and the number of slots
// on return. INVALIDPARAMETER for null arguments.
aud_error dr_device_get_addresses(const dr_device* device, unsigned* count, dr_address* entries);
// The interface the address of slot `index` was heard on (0 when it was
// given in the config, or is not known yet).
unsigned dr_device_get_address_interface(const dr_device* device, unsigned index);
// True when no address slot is resolving or querying any more while none
// has an address: a refused record or a DNS-SD error ended them all, so the
// handle will not become RESOLVED by itself.
bool dr_device_resolution_stopped(const dr_device* device);
// Closes and frees the handle.
void dr_device_close(dr_device* device);
