// What media and conmon device services add to the tree, and the read-only
// view of the tree and its devices.
#include <cstring>

#include "network/browse/browse_resolve.h"
#include "network/browse/browse_rows.h"
#include "network/browse/browse_state.h"
#include "network/browse/browse_tree.h"
#include "network/browse/browse_txt.h"
#include "network/dnssd_binding.h"

void db_browse_media_device_resolved(db_resolve* resolve, const char* target, uint16_t, uint16_t txtLength,
                                     const unsigned char* txt) {
  db_media_info media;
  db_media_info_from_txt(txt, txtLength, &media);
  db_service_update update{DB_BROWSE_TYPE_MEDIA_DEVICE, target, &media, nullptr};
  db_tree_update(resolve->browse, resolve->name, resolve->network, update);
}

void db_browse_media_device_lost(db_browse* browse, unsigned network, const char* name) {
  db_tree_lost(browse, name, network, DB_BROWSE_TYPE_MEDIA_DEVICE);
}

void db_browse_conmon_device_resolved(db_resolve* resolve, const char* target, uint16_t, uint16_t txtLength,
                                      const unsigned char* txt) {
  db_browse* browse = resolve->browse;
  aud_log* log = db_browse_log(browse);
  db_conmon_info conmon;
  const char* broken = db_conmon_info_from_txt(txt, txtLength, DnsSd().TXTGetValuePtr, &conmon);
  if (broken != nullptr) {
    if (std::strcmp(broken, "id") == 0) {
      aud_log_printf(log, AUD_LOG_ERROR,
                     "%s: Resolve Error: txt record 'id' field missing or empty for conmon device \"%s\"\n", __func__,
                     resolve->name);
    } else {
      aud_log_printf(log, AUD_LOG_ERROR, "%s: Resolve Error: txt record '%s' field invalid for conmon device \"%s\"\n",
                     __func__, broken, resolve->name);
    }
    db_resolve_cancel(resolve);
    return;
  }
  db_service_update update{DB_BROWSE_TYPE_CONMON_DEVICE, target, nullptr, &conmon};
  if (!db_tree_update(browse, resolve->name, resolve->network, update)) {
    aud_log_printf(log, AUD_LOG_ERROR, "%s: Error adding conmon device \"%s\" to tree\n", __func__, resolve->name);
  }
}

void db_browse_conmon_device_lost(db_browse* browse, unsigned network, const char* name) {
  db_tree_lost(browse, name, network, DB_BROWSE_TYPE_CONMON_DEVICE);
}

// ------------------------------------------------------------- the view

const char* db_device_get_name(const db_device* device) { return device ? device->name : nullptr; }

const char* db_device_get_target_name(const db_device* device) { return device ? device->target_name : nullptr; }

unsigned db_device_get_services(const db_device* device) { return device ? device->services_union : 0; }

unsigned db_device_get_services_in_slot(const db_device* device, unsigned slot) {
  return device && slot < DB_BROWSE_SLOTS ? device->services[slot] : 0;
}

const db_media_info* db_device_get_media_info(const db_device* device) { return device ? &device->media : nullptr; }

const db_conmon_info* db_device_get_conmon_info(const db_device* device) {
  return device ? &device->conmon : nullptr;
}

unsigned db_browse_get_device_count(const db_browse* browse) {
  return browse ? static_cast<unsigned>(browse->tree.size()) : 0;
}

db_device* db_browse_get_device(const db_browse* browse, unsigned index) {
  return browse && index < browse->tree.size() ? browse->tree[index] : nullptr;
}

db_device* db_browse_find_device(const db_browse* browse, const char* name) {
  return browse ? db_tree_find(browse, name) : nullptr;
}

unsigned db_browse_get_active_resolve_count(const db_browse* browse) {
  return browse ? static_cast<unsigned>(browse->active.size()) : 0;
}

unsigned db_browse_get_pending_resolve_count(const db_browse* browse) {
  return browse ? static_cast<unsigned>(browse->pending.size()) : 0;
}

unsigned db_browse_get_resolve_limit(const db_browse* browse) { return browse ? browse->resolve_limit : 0; }

unsigned db_browse_get_interface_index(const db_browse* browse, unsigned network) {
  return browse ? db_browse_network_interface(browse, network) : 0;
}
