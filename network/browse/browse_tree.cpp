#include "network/browse/browse_tree.h"

#include <strings.h>

#include <cstring>
#include <new>

namespace {

void Notify(db_browse* browse, db_device* device, db_node_change change) {
  browse->step_tree_changed = true;
  if (browse->node_changed == nullptr) return;
  db_node node{DB_NODE_DEVICE, device};
  browse->node_changed(browse, &node, change);
}

bool SameId(const aud_id& a, const aud_id& b) { return std::memcmp(a.data, b.data, sizeof a.data) == 0; }

bool Same(const db_media_info& a, const db_media_info& b) {
  return a.arcp_version == b.arcp_version && a.arcp_min_version == b.arcp_min_version &&
         a.router_version == b.router_version && std::strcmp(a.router_info, b.router_info) == 0 &&
         SameId(a.manufacturer, b.manufacturer) && SameId(a.model, b.model);
}

bool Same(const db_conmon_info& a, const db_conmon_info& b) {
  return SameId(a.device_id, b.device_id) && a.process == b.process && SameId(a.vendor_id, b.vendor_id) &&
         std::memcmp(a.vba, b.vba, sizeof a.vba) == 0 && SameId(a.manufacturer, b.manufacturer) &&
         SameId(a.model, b.model);
}

unsigned Union(const db_device* device) {
  unsigned all = 0;
  for (unsigned bits : device->services) all |= bits;
  return all;
}

}  // namespace

size_t db_tree_lower_bound(const db_browse* browse, const char* name) {
  size_t low = 0, high = browse->tree.size();
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    if (strcasecmp(browse->tree[mid]->name, name) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

db_device* db_tree_find(const db_browse* browse, const char* name) {
  if (name == nullptr) return nullptr;
  size_t at = db_tree_lower_bound(browse, name);
  if (at < browse->tree.size() && strcasecmp(browse->tree[at]->name, name) == 0) return browse->tree[at];
  return nullptr;
}

bool db_tree_update(db_browse* browse, const char* name, unsigned network, const db_service_update& update) {
  size_t at = db_tree_lower_bound(browse, name);
  db_device* device = nullptr;
  bool inserted = false;
  if (at < browse->tree.size() && strcasecmp(browse->tree[at]->name, name) == 0) {
    device = browse->tree[at];
  } else {
    if (std::strlen(name) > DB_DEVICE_NAME_MAX) {
      db_browse_record_error(browse, AUD_ERR_RANGE);
      return false;
    }
    device = new (std::nothrow) db_device;
    if (device == nullptr) {
      db_browse_record_error(browse, AUD_ERR_NOMEMORY);
      return false;
    }
    try {
      browse->tree.insert(browse->tree.begin() + static_cast<std::ptrdiff_t>(at), device);
    } catch (const std::bad_alloc&) {
      delete device;
      db_browse_record_error(browse, AUD_ERR_NOMEMORY);
      return false;
    }
    db_copy_text(device->name, DB_DEVICE_NAME_MAX, name);
    inserted = true;
  }

  unsigned& slot = device->services[db_browse_slot(browse, network)];
  bool changed = (slot & update.service_bit) == 0;
  slot |= update.service_bit;
  device->services_union = Union(device);

  char target[DB_DEVICE_NAME_MAX + 1];
  db_copy_text(target, DB_DEVICE_NAME_MAX, update.target_name ? update.target_name : "");
  if (std::strcmp(target, device->target_name) != 0) {
    std::memcpy(device->target_name, target, sizeof target);
    changed = true;
  }
  if (update.media != nullptr && !Same(device->media, *update.media)) {
    device->media = *update.media;
    changed = true;
  }
  if (update.conmon != nullptr && !Same(device->conmon, *update.conmon)) {
    device->conmon = *update.conmon;
    changed = true;
  }
  if (changed) Notify(browse, device, inserted ? DB_NODE_ADDED : DB_NODE_MODIFIED);
  return true;
}

void db_tree_lost(db_browse* browse, const char* name, unsigned network, unsigned service_bit) {
  size_t at = db_tree_lower_bound(browse, name);
  if (at >= browse->tree.size() || strcasecmp(browse->tree[at]->name, name) != 0) return;
  db_device* device = browse->tree[at];
  unsigned& slot = device->services[db_browse_slot(browse, network)];
  if ((slot & service_bit) == 0) return;
  slot &= ~service_bit;
  device->services_union = Union(device);
  if ((device->services_union & service_bit) == 0) {
    if (service_bit == DB_BROWSE_TYPE_MEDIA_DEVICE) device->media = db_media_info{};
    if (service_bit == DB_BROWSE_TYPE_CONMON_DEVICE) device->conmon = db_conmon_info{};
  }
  if (device->services_union == 0) device->target_name[0] = '\0';
  // Devices carry no channels here, so only their services keep them.
  if (device->services_union != 0) {
    Notify(browse, device, DB_NODE_MODIFIED);
    return;
  }
  // Out of the tree before the callback runs, freed after it.
  browse->tree.erase(browse->tree.begin() + static_cast<std::ptrdiff_t>(at));
  Notify(browse, device, DB_NODE_REMOVED);
  delete device;
}

void db_tree_clear(db_browse* browse) {
  for (db_device* device : browse->tree) delete device;
  browse->tree.clear();
}
