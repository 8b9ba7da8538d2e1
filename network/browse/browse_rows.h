#pragma once
// The service-type table: what each row browses for, which instance names
// it takes, and what a resolved or lost instance does to the device tree.
#include <cstdint>

#include "network/browse/browse_state.h"

// Called with the resolve's record while it is still active.
using db_row_resolved_fn = void (*)(db_resolve* resolve, const char* target, uint16_t port, uint16_t txtLength,
                                    const unsigned char* txt);
using db_row_lost_fn = void (*)(db_browse* browse, unsigned network, const char* name);

struct db_browse_row {
  const char* name;          // for log lines
  const char* service_type;  // null: not found through DNS-SD
  unsigned name_limit;       // instance names must be shorter
  db_row_resolved_fn resolved;
  db_row_lost_fn lost;
};

// Row `row` (0 .. DB_BROWSE_ROWS-1).
const db_browse_row& db_browse_row_at(unsigned row);

// The handlers of the rows that change the tree (browse_devices.cpp).
void db_browse_media_device_resolved(db_resolve* resolve, const char* target, uint16_t port, uint16_t txtLength,
                                     const unsigned char* txt);
void db_browse_media_device_lost(db_browse* browse, unsigned network, const char* name);
void db_browse_conmon_device_resolved(db_resolve* resolve, const char* target, uint16_t port, uint16_t txtLength,
                                      const unsigned char* txt);
void db_browse_conmon_device_lost(db_browse* browse, unsigned network, const char* name);
