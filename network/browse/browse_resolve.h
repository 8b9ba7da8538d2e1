#pragma once
// Resolving the instances a browse finds: records wait on the pending list
// (first in, first out), run on the active list up to the resolve limit,
// and end on the recycle list, from which the next instance reuses them
// until the step frees what is left.
#include "network/browse/browse_state.h"

// Queues a resolve of `name` found on `network` for `row`. A failed
// allocation is recorded as the step's error NOMEMORY.
void db_resolve_enqueue(db_browse* browse, unsigned network, unsigned row, const char* name);
// Starts a pending record's DNS-SD resolve and puts it on the active list;
// false (and the record cancelled) when the resolve cannot start.
bool db_resolve_resolve(db_resolve* resolve);
// Ends the record's DNS-SD operation if it runs, clears it and moves it to
// the recycle list. Cancelling twice is harmless.
void db_resolve_cancel(db_resolve* resolve);
// Cancels every active and pending resolve of `name` on `network`.
void db_resolve_cancel_named(db_browse* browse, unsigned network, const char* name);
// Cancels everything active or pending.
void db_resolve_cancel_all(db_browse* browse);
// Frees the records on the recycle list.
void db_resolve_free_recycled(db_browse* browse);
