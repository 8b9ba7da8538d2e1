#include "network/browse/browse_rows.h"

namespace {

// Channels, safe-mode, upgrade-mode and via devices are browsed and
// resolved like the others, but nothing here needs what they say: their
// handlers leave the tree unchanged.
void KeepTreeResolved(db_resolve*, const char*, uint16_t, uint16_t, const unsigned char*) {}
void KeepTreeLost(db_browse*, unsigned, const char*) {}

const db_browse_row kRows[DB_BROWSE_ROWS] = {
    {"media device", "_netaudio-arc._udp.", 32, db_browse_media_device_resolved, db_browse_media_device_lost},
    {"media channel", "_netaudio-chan._udp.", 64, KeepTreeResolved, KeepTreeLost},
    {"conmon device", "_netaudio-cmc._udp.", 32, db_browse_conmon_device_resolved, db_browse_conmon_device_lost},
    {"safe mode", "_dante-safe._udp.", 32, KeepTreeResolved, KeepTreeLost},
    {"upgrade mode", "_dante-upgr._udp.", 32, KeepTreeResolved, KeepTreeLost},
    {"via device", "_netaudio-via._tcp.", 32, KeepTreeResolved, KeepTreeLost},
    // Announced by SAP, not DNS-SD: counted in the socket budget, never browsed.
    {"aes67 device", nullptr, 0, KeepTreeResolved, KeepTreeLost},
};

}  // namespace

const db_browse_row& db_browse_row_at(unsigned row) { return kRows[row < DB_BROWSE_ROWS ? row : 0]; }
