// The browse object's life: made, configured, started (one DNS-SD browse
// per type), stopped and freed; and what a browse reply does.
#include "network/browse/db_browse.h"

#include <cstring>
#include <new>
#include <string>

#include "network/browse/browse_resolve.h"
#include "network/browse/browse_rows.h"
#include "network/browse/browse_state.h"
#include "network/browse/browse_tree.h"
#include "network/dnssd_binding.h"

namespace {

constexpr unsigned kTypeBits = (1u << DB_BROWSE_ROWS) - 1;

unsigned CountTypes(unsigned mask) {
  unsigned n = 0;
  for (unsigned row = 0; row < DB_BROWSE_ROWS; ++row) n += (mask >> row) & 1u;
  return n;
}

// The network an advertisement on `interfaceIndex` belongs to; false when
// it belongs to none. With the defaults the first advertisement fixes
// network 0 to its interface, and later ones elsewhere (loopback aside)
// are ignored.
bool PickNetwork(db_browse* browse, uint32_t interfaceIndex, unsigned* network) {
  db_browse_config& config = browse->config;
  for (unsigned n = 0; n < config.networks; ++n) {
    if ((config.network_mask & (1u << n)) == 0) continue;
    if (config.interface_indexes[n] == 0) {
      aud_log_printf(db_browse_log(browse), AUD_LOG_WARNING,
                     "%s: No interface index filter defined for network %u, setting interface index to %d\n",
                     "db_dnssd_browse", n, static_cast<int>(interfaceIndex));
      config.interface_indexes[n] = interfaceIndex;
      *network = n;
      return true;
    }
    if (config.interface_indexes[n] == interfaceIndex) {
      *network = n;
      return true;
    }
    if (config.include_loopback && browse->loopback_index != 0 && interfaceIndex == browse->loopback_index) {
      *network = config.networks;
      return true;
    }
  }
  return false;
}

// The browsed row whose service type the reply names.
bool FindRow(const db_browse* browse, const char* type, unsigned* row) {
  if (type == nullptr) return false;
  for (unsigned r = 0; r < DB_BROWSE_ROWS; ++r) {
    const char* own = db_browse_row_at(r).service_type;
    if (((browse->type_mask >> r) & 1u) && own != nullptr && std::strcmp(own, type) == 0) {
      *row = r;
      return true;
    }
  }
  return false;
}

// DNS-SD browse reply: runs inside DNSServiceProcessResult.
void db_dnssd_browse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType error,
                     const char* name, const char* type, const char* domain, void* context) {
  auto* browse = static_cast<db_browse*>(context);
  if (error != kDNSServiceErr_NoError) {
    aud_log_printf(db_browse_log(browse), AUD_LOG_WARNING, "%s: browse %s.%s.%s failed: %d\n", __func__,
                   name ? name : "", type ? type : "", domain ? domain : "", error);
    db_browse_record_error(browse, AUD_ERR_DNSSDFAIL);
    return;
  }
  unsigned network = 0;
  if (!PickNetwork(browse, interfaceIndex, &network)) return;
  unsigned row = 0;
  if (!FindRow(browse, type, &row)) return;
  size_t length = name ? std::strlen(name) : 0;
  if (length == 0 || length >= db_browse_row_at(row).name_limit) return;
  if (flags & kDNSServiceFlagsAdd) {
    db_resolve_enqueue(browse, network, row, name);
    return;
  }
  db_browse_row_at(row).lost(browse, network, name);
  db_resolve_cancel_named(browse, network, name);
}

}  // namespace

aud_error db_browse_new(aud_env env, unsigned type_mask, db_browse** out) {
  if (out == nullptr) return AUD_ERR_INVALIDPARAMETER;
  *out = nullptr;
  if ((type_mask & kTypeBits) == 0) return AUD_ERR_INVALIDPARAMETER;
  auto* browse = new (std::nothrow) db_browse;
  if (browse == nullptr) return AUD_ERR_NOMEMORY;
  browse->env = env;
  browse->type_mask = type_mask & kTypeBits;
  browse->type_count = CountTypes(browse->type_mask);
  db_browse_config_init(&browse->config);
  aud_interface loopback;
  if (aud_interface_find_loopback(&loopback) == AUD_SUCCESS) browse->loopback_index = loopback.index;
  *out = browse;
  return AUD_SUCCESS;
}

aud_error db_browse_set_max_sockets(db_browse* browse, unsigned n) {
  if (browse == nullptr || n < browse->type_count + 1) return AUD_ERR_INVALIDPARAMETER;
  if (n == browse->type_count + browse->resolve_limit) return AUD_SUCCESS;
  if (browse->started) return AUD_ERR_INVALIDSTATE;
  browse->resolve_limit = n - browse->type_count;
  return AUD_SUCCESS;
}

aud_error db_browse_set_manufacturer(db_browse* browse, const aud_id* id) {
  if (browse == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (id == nullptr) {
    browse->manufacturer[0] = '\0';
  } else {
    aud_id_to_text(id, browse->manufacturer);
  }
  return AUD_SUCCESS;
}

void db_browse_set_node_changed_callback(db_browse* browse, db_browse_node_changed_fn callback) {
  if (browse) browse->node_changed = callback;
}

void db_browse_set_tree_changed_callback(db_browse* browse, db_browse_tree_changed_fn callback) {
  if (browse) browse->tree_changed = callback;
}

void db_browse_set_sockets_changed_callback(db_browse* browse, db_browse_sockets_changed_fn callback) {
  if (browse) browse->sockets_changed = callback;
}

void db_browse_set_context(db_browse* browse, void* context) {
  if (browse) browse->context = context;
}

void* db_browse_get_context(const db_browse* browse) { return browse ? browse->context : nullptr; }

void db_browse_config_init(db_browse_config* config) {
  if (config == nullptr) return;
  *config = db_browse_config{};
  config->networks = 1;
  config->network_mask = ~0u;
  config->include_loopback = true;
  config->resolve_timeout = aud_time{30, 0};
}

aud_error db_browse_start_config(db_browse* browse, const db_browse_config* config) {
  if (browse == nullptr || config == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (browse->started) return AUD_ERR_INVALIDSTATE;
  // Only two networks have interface entries.
  if (config->networks < 1 || config->networks > 2) return AUD_ERR_INVALIDPARAMETER;
  db_tree_clear(browse);
  browse->config = *config;
  const DnsSdBinding& dnssd = DnsSd();
  for (unsigned row = 0; row < DB_BROWSE_ROWS; ++row) {
    const db_browse_row& r = db_browse_row_at(row);
    if (!((browse->type_mask >> row) & 1u) || r.service_type == nullptr) continue;
    // The maker's devices are found through the manufacturer subtype.
    char service[DB_SERVICE_STRING_MAX + 1];
    std::string text = r.service_type;
    if (browse->manufacturer[0] != '\0') text += std::string(",") + browse->manufacturer;
    db_copy_text(service, DB_SERVICE_STRING_MAX, text.c_str());
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType error = kDNSServiceErr_NotInitialized;
    if (dnssd.Browse != nullptr) error = dnssd.Browse(&ref, 0, 0, service, "local", db_dnssd_browse, browse);
    if (error != kDNSServiceErr_NoError || ref == nullptr) {
      aud_log_printf(db_browse_log(browse), AUD_LOG_ERROR, "Error starting %s (%s) browse (dnssd err=%d)\n", r.name,
                     service, error);
      db_browse_stop(browse);
      return AUD_ERR_DNSSDFAIL;
    }
    browse->types[row].ref = ref;
    browse->types[row].socket = dnssd.RefSockFD(ref);
  }
  browse->started = true;
  return AUD_SUCCESS;
}

aud_error db_browse_get_sockets(const db_browse* browse, aud_socket_set* set) {
  if (browse == nullptr || set == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (!browse->started) return AUD_ERR_INVALIDSTATE;
  for (const db_browse_type& type : browse->types) {
    if (type.socket >= 0) aud_socket_set_add(set, type.socket);
  }
  for (const db_resolve* resolve : browse->active) {
    if (resolve->socket >= 0) aud_socket_set_add(set, resolve->socket);
  }
  return AUD_SUCCESS;
}

void db_browse_stop(db_browse* browse) {
  if (browse == nullptr) return;
  for (db_browse_type& type : browse->types) {
    if (type.ref != nullptr && DnsSd().RefDeallocate != nullptr) DnsSd().RefDeallocate(type.ref);
    type.ref = nullptr;
    type.socket = -1;
  }
  db_resolve_cancel_all(browse);
  db_resolve_free_recycled(browse);
  db_tree_clear(browse);
  browse->started = false;
}

void db_browse_delete(db_browse* browse) {
  if (browse == nullptr) return;
  db_browse_stop(browse);
  delete browse;
}
