#pragma once
// The browse object: watches DNS-SD for the device service types it is
// given, resolves every instance it sees, reads its TXT record and keeps a
// tree of the devices found, sorted by name without regard to case. Devices
// entering, changing or leaving the tree are reported to a callback.
//
// It never blocks and owns no thread: the caller waits on the sockets that
// db_browse_get_sockets gives and calls db_browse_process when one is
// readable. Every DNS-SD call goes through the binding (DnsSd()), so any
// library with the standard DNS-SD API can stand under it.
#include <cstdint>

#include "network/aud_types.h"

struct db_browse;
struct db_device;

// Rows of the service-type table; the row index is the type's bit.
enum : unsigned {
  DB_BROWSE_TYPE_MEDIA_DEVICE = 0x01,   // "_netaudio-arc._udp."
  DB_BROWSE_TYPE_MEDIA_CHANNEL = 0x02,  // "_netaudio-chan._udp."
  DB_BROWSE_TYPE_CONMON_DEVICE = 0x04,  // "_netaudio-cmc._udp."
  DB_BROWSE_TYPE_SAFE_MODE = 0x08,      // "_dante-safe._udp."
  DB_BROWSE_TYPE_UPGRADE_MODE = 0x10,   // "_dante-upgr._udp."
  DB_BROWSE_TYPE_VIA_DEVICE = 0x20,     // "_netaudio-via._tcp."
  DB_BROWSE_TYPE_AES67_DEVICE = 0x40,   // SAP announcements, no DNS-SD type
};

enum db_node_kind : unsigned { DB_NODE_DEVICE = 0, DB_NODE_CHANNEL = 1 };
enum db_node_change : unsigned { DB_NODE_ADDED = 0, DB_NODE_MODIFIED = 1, DB_NODE_REMOVED = 2 };

// The argument of the node-changed callback.
struct db_node {
  db_node_kind kind;
  db_device* device;  // for DB_NODE_DEVICE; valid during the callback
};

using db_browse_node_changed_fn = void (*)(db_browse* browse, const db_node* node, db_node_change change);
using db_browse_tree_changed_fn = void (*)(db_browse* browse);
using db_browse_sockets_changed_fn = void (*)(db_browse* browse);

struct db_browse_config {
  unsigned networks;              // 1 or 2
  unsigned interface_indexes[2];  // 0 = learned from the first advertisement
  unsigned network_mask;          // bit n enables network n
  bool include_loopback;          // loopback as a pseudo-network after the last one
  aud_time resolve_timeout;       // how long one resolve may stay active
};

// INVALIDPARAMETER when `type_mask` has none of bits 0..6; NOMEMORY.
aud_error db_browse_new(aud_env env, unsigned type_mask, db_browse** out);
// Socket budget: one per browsed type plus one per concurrent resolve.
// INVALIDPARAMETER when n < types + 1; INVALIDSTATE when it would change
// the resolve limit after start.
aud_error db_browse_set_max_sockets(db_browse* browse, unsigned n);
// The 8-byte manufacturer id whose subtype is browsed; null clears it.
aud_error db_browse_set_manufacturer(db_browse* browse, const aud_id* id);
void db_browse_set_node_changed_callback(db_browse* browse, db_browse_node_changed_fn callback);
void db_browse_set_tree_changed_callback(db_browse* browse, db_browse_tree_changed_fn callback);
void db_browse_set_sockets_changed_callback(db_browse* browse, db_browse_sockets_changed_fn callback);
void db_browse_set_context(db_browse* browse, void* context);
void* db_browse_get_context(const db_browse* browse);

// One network, any interface, every network enabled, loopback included,
// resolve time-out 30 s.
void db_browse_config_init(db_browse_config* config);
// INVALIDSTATE when started; DNSSDFAIL when a DNS-SD browse cannot start.
aud_error db_browse_start_config(db_browse* browse, const db_browse_config* config);
// Adds the browse sockets, then every active resolve's socket.
// INVALIDPARAMETER for null arguments; INVALIDSTATE when not started.
aud_error db_browse_get_sockets(const db_browse* browse, aud_socket_set* set);
// One step over the readable sockets in `set` (which it empties as it
// goes); `next` receives the earliest resolve deadline, zero when none.
aud_error db_browse_process(db_browse* browse, aud_socket_set* set, aud_time* next);
void db_browse_stop(db_browse* browse);
// Stops and frees; null is allowed.
void db_browse_delete(db_browse* browse);

// A device node: its name (at most 31 characters) and what its services
// said. Versions are major << 24 | minor << 16 | patch.
const char* db_device_get_name(const db_device* device);
const char* db_device_get_target_name(const db_device* device);
// Union of the service bits seen on every network (0x01 media, 0x04 conmon).
unsigned db_device_get_services(const db_device* device);

// What a media device service's TXT record said; zero where a key was
// missing or did not parse.
struct db_media_info {
  uint32_t arcp_version;
  uint32_t arcp_min_version;
  uint32_t router_version;
  char router_info[64];
  aud_id manufacturer;
  aud_id model;
};

// What a conmon device service's TXT record said; the optional keys are
// zero when absent.
struct db_conmon_info {
  aud_id device_id;
  uint16_t process;
  aud_id vendor_id;
  uint8_t vba[4];
  aud_id manufacturer;
  aud_id model;
};

inline constexpr unsigned DB_BROWSE_SLOT_LOOPBACK = 2;
// The service bits seen in one slot: 0 and 1 the networks, 2 loopback.
unsigned db_device_get_services_in_slot(const db_device* device, unsigned slot);
const db_media_info* db_device_get_media_info(const db_device* device);
const db_conmon_info* db_device_get_conmon_info(const db_device* device);

// The tree in name order, and a lookup by name (any case); null when absent.
unsigned db_browse_get_device_count(const db_browse* browse);
db_device* db_browse_get_device(const db_browse* browse, unsigned index);
db_device* db_browse_find_device(const db_browse* browse, const char* name);
// Diagnostics: resolves running and waiting, the resolve limit, and the
// interface a network was fixed to (0 while not yet known).
unsigned db_browse_get_active_resolve_count(const db_browse* browse);
unsigned db_browse_get_pending_resolve_count(const db_browse* browse);
unsigned db_browse_get_resolve_limit(const db_browse* browse);
unsigned db_browse_get_interface_index(const db_browse* browse, unsigned network);
