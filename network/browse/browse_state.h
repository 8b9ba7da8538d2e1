#pragma once
// The records behind the browse object's opaque handles, shared by the
// files of network/browse/ and by nothing else.
#include <deque>
#include <vector>

#include "network/browse/db_browse.h"
#include "network/dnssd/dns_sd.h"

inline constexpr unsigned DB_BROWSE_ROWS = 7;
inline constexpr unsigned DB_BROWSE_SLOTS = 3;  // network 0, network 1, loopback
inline constexpr unsigned DB_BROWSE_DEFAULT_RESOLVE_LIMIT = 16;
inline constexpr size_t DB_SERVICE_STRING_MAX = 49;
inline constexpr size_t DB_INSTANCE_NAME_MAX = 63;
inline constexpr size_t DB_DEVICE_NAME_MAX = 31;

// Where a resolve record is; it is on exactly one list, or on none while
// being made.
enum class db_resolve_list { none, pending, active, recycle };

struct db_resolve {
  db_browse* browse = nullptr;
  db_resolve_list list = db_resolve_list::none;
  unsigned network = 0;
  unsigned row = 0;
  char name[DB_INSTANCE_NAME_MAX + 1] = {};
  DNSServiceRef ref = nullptr;
  int socket = -1;
  aud_time deadline = {0, 0};
};

struct db_device {
  char name[DB_DEVICE_NAME_MAX + 1] = {};
  unsigned services[DB_BROWSE_SLOTS] = {};
  unsigned services_union = 0;
  char target_name[DB_DEVICE_NAME_MAX + 1] = {};
  db_media_info media = {};
  db_conmon_info conmon = {};
};

struct db_browse_type {
  DNSServiceRef ref = nullptr;
  int socket = -1;
};

struct db_browse {
  aud_env env = nullptr;
  unsigned type_mask = 0;
  unsigned type_count = 0;
  char manufacturer[AUD_ID_TEXT_SIZE] = {};
  db_browse_config config = {};
  unsigned loopback_index = 0;
  db_browse_type types[DB_BROWSE_ROWS];
  unsigned resolve_limit = DB_BROWSE_DEFAULT_RESOLVE_LIMIT;
  std::vector<db_resolve*> active;   // in the order they started
  std::deque<db_resolve*> pending;   // first in, first out
  std::vector<db_resolve*> recycle;  // finished, freed at the end of a step
  std::vector<db_device*> tree;      // sorted by name, any case
  db_browse_node_changed_fn node_changed = nullptr;
  db_browse_tree_changed_fn tree_changed = nullptr;
  db_browse_sockets_changed_fn sockets_changed = nullptr;
  void* context = nullptr;
  bool started = false;
  // The current db_browse_process step.
  aud_time step_time = {0, 0};
  aud_error step_error = AUD_SUCCESS;
  bool step_sockets_changed = false;
  bool step_tree_changed = false;
};

// The logger of the browse's environment (null without one).
aud_log* db_browse_log(const db_browse* browse);
// Keeps the first error of a step: reply handlers never fail a step
// themselves; db_browse_process returns what they recorded.
void db_browse_record_error(db_browse* browse, aud_error error);
// Slot of a network in a device's service bits (the loopback
// pseudo-network, numbered after the last real one, uses the third).
unsigned db_browse_slot(const db_browse* browse, unsigned network);
// The interface a network's operations run on.
unsigned db_browse_network_interface(const db_browse* browse, unsigned network);
// Copies at most `max` characters of `text`, up to `stop` (0: none).
void db_copy_text(char* out, size_t max, const char* text, char stop = '\0');
