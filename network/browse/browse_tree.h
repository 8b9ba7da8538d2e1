#pragma once
// The device tree: devices sorted by a case-insensitive comparison of
// their names, each name once, and the notifications of their changes.
#include "network/browse/browse_state.h"

// What one resolved service says about its device.
struct db_service_update {
  unsigned service_bit;  // 0x01 media device, 0x04 conmon device
  const char* target_name;
  const db_media_info* media;    // with 0x01
  const db_conmon_info* conmon;  // with 0x04
};

// Index of the first device whose name is not below `name`.
size_t db_tree_lower_bound(const db_browse* browse, const char* name);
db_device* db_tree_find(const db_browse* browse, const char* name);
// Finds or inserts the device and records the service in the network's
// slot; reports it added (0) or modified (1) when anything changed. A
// device that cannot be inserted (name too long, no memory) is recorded as
// the step's error; false then.
bool db_tree_update(db_browse* browse, const char* name, unsigned network, const db_service_update& update);
// The service is gone from the network: clears its bit and, when no
// network has it any more, its fields; reports the device modified, or
// removes it and reports it removed when nothing is left.
void db_tree_lost(db_browse* browse, const char* name, unsigned network, unsigned service_bit);
// Frees every device without notifications.
void db_tree_clear(db_browse* browse);
