#pragma once
// The records behind the opaque dr_devices and dr_device handles, shared by
// the context, the handles, their address slots and the control socket.
// Only network/devices and its tests include this.
#include <cstddef>
#include <cstdint>

#include "network/aud_types.h"
#include "network/devices/dr_devices.h"
#include "network/dnssd/dns_sd.h"

inline constexpr size_t DR_DEVICE_NAME_MAX = 39;     // characters kept of a device name
inline constexpr size_t DR_HOST_NAME_MAX = 1008;     // characters of a host name
inline constexpr unsigned DR_DEVICE_SLOTS_MAX = 2;   // one address slot per network
inline constexpr unsigned DR_REQUEST_SLOTS = 16;
inline constexpr uint16_t DR_DEFAULT_CONTROL_PORT = 4440;
inline constexpr uint16_t DR_ARCP_VERSION_DEFAULT = 0x271D;

// Address slot flags.
enum : unsigned {
  DR_SLOT_ADDRESS_KNOWN = 0x1,
  DR_SLOT_RESOLVING = 0x2,
  DR_SLOT_QUERYING = 0x4,
};

struct dr_device_addresses;

struct dr_device_address {
  dr_device_addresses* owner;
  unsigned flags;
  unsigned interface_index;  // 0 until a reply names one
  DNSServiceRef ref;
  int socket;                // -1 while no DNS-SD operation runs
  char host[DR_HOST_NAME_MAX + 1];
  uint16_t pending_port;     // host order; 0 = none
  uint32_t address;          // network byte order
  uint16_t port;             // host order
  unsigned address_interface;  // the interface the address was heard on; 0 = given
};

struct dr_device_addresses {
  dr_device* device;
  unsigned count;
  aud_error error;  // shared by the slots; set by reply handlers
  dr_device_address slots[DR_DEVICE_SLOTS_MAX];
};

struct dr_router_version {
  uint8_t major;
  uint8_t minor;
  uint16_t patch;
};

struct dr_device {
  dr_devices* devices;
  dr_device* next;  // in the context's list of open handles
  char name[DR_DEVICE_NAME_MAX + 1];
  dr_device_state state;
  uint16_t arcp_version;
  dr_router_version router_version;
  bool safe_mode;
  dr_device_addresses addresses;
  void* context;
  dr_device_changed_fn changed;
  bool in_process;
  unsigned changes;
  unsigned pass;  // the context's processing pass that last visited it
};

using dr_response_fn = void (*)(dr_device* device, void* context, const uint8_t* message, size_t length);

struct dr_request {
  bool in_use;
  uint16_t seqnum;
  uint16_t opcode;
  dr_device* device;
  dr_response_fn on_response;
  void* context;
};

struct dr_devices {
  aud_env env;
  bool have_loopback;
  unsigned loopback_index;     // 0 when no loopback interface was found
  uint32_t loopback_address;   // network byte order
  int control_socket;          // -1 when none
  uint16_t next_seqnum;
  dr_request requests[DR_REQUEST_SLOTS];
  dr_device* devices;          // open handles, oldest first
  void* context;
  dr_devices_sockets_changed_fn sockets_changed;
  bool in_process;
  bool sockets_changed_pending;
  unsigned pass;
};

// The context's logger (null when it has no environment).
aud_log* dr_devices_log(const dr_devices* devices);
// Calls the sockets-changed callback now, or once at the end of
// dr_devices_process when called from inside it.
void dr_devices_notify_sockets_changed(dr_devices* devices);
