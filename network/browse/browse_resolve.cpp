#include "network/browse/browse_resolve.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "network/browse/browse_rows.h"
#include "network/dnssd_binding.h"

namespace {

template <class List>
void Forget(List& list, db_resolve* resolve) {
  auto it = std::find(list.begin(), list.end(), resolve);
  if (it != list.end()) list.erase(it);
}

void Unlist(db_resolve* resolve) {
  db_browse* browse = resolve->browse;
  switch (resolve->list) {
    case db_resolve_list::pending: Forget(browse->pending, resolve); break;
    case db_resolve_list::active: Forget(browse->active, resolve); break;
    case db_resolve_list::recycle: Forget(browse->recycle, resolve); break;
    case db_resolve_list::none: break;
  }
  resolve->list = db_resolve_list::none;
}

// DNS-SD resolve reply: runs inside DNSServiceProcessResult.
void db_dnssd_resolve(DNSServiceRef, DNSServiceFlags, uint32_t interfaceIndex, DNSServiceErrorType error,
                      const char*, const char* hostTarget, uint16_t port, uint16_t txtLength,
                      const unsigned char* txt, void* context) {
  auto* resolve = static_cast<db_resolve*>(context);
  db_browse* browse = resolve->browse;
  if (resolve->list != db_resolve_list::active) return;
  if (error != kDNSServiceErr_NoError) {
    aud_log_printf(db_browse_log(browse), AUD_LOG_ERROR, "%s: Error resolving '%s' using socket %d (dns error=%d)\n",
                   __func__, resolve->name, resolve->socket, error);
    db_browse_record_error(browse, AUD_ERR_DNSSDFAIL);
    db_resolve_cancel(resolve);
    return;
  }
  unsigned expected = db_browse_network_interface(browse, resolve->network);
  if (interfaceIndex != expected) {
    aud_log_printf(db_browse_log(browse), AUD_LOG_WARNING, "%s: ignoring resolve for %s on interface %u (not %u)",
                   __func__, resolve->name, interfaceIndex, expected);
    return;
  }
  char target[DB_DEVICE_NAME_MAX + 1];
  db_copy_text(target, DB_DEVICE_NAME_MAX, hostTarget ? hostTarget : "", '.');
  db_browse_row_at(resolve->row).resolved(resolve, target, port, txt ? txtLength : 0, txt);
  db_resolve_cancel(resolve);
}

}  // namespace

void db_resolve_enqueue(db_browse* browse, unsigned network, unsigned row, const char* name) {
  db_resolve* resolve = nullptr;
  if (!browse->recycle.empty()) {
    resolve = browse->recycle.back();
    browse->recycle.pop_back();
  } else {
    resolve = new (std::nothrow) db_resolve;
    if (resolve == nullptr) {
      db_browse_record_error(browse, AUD_ERR_NOMEMORY);
      return;
    }
  }
  *resolve = db_resolve{};
  resolve->browse = browse;
  resolve->network = network;
  resolve->row = row;
  db_copy_text(resolve->name, DB_INSTANCE_NAME_MAX, name);
  try {
    browse->pending.push_back(resolve);
  } catch (const std::bad_alloc&) {
    delete resolve;
    db_browse_record_error(browse, AUD_ERR_NOMEMORY);
    return;
  }
  resolve->list = db_resolve_list::pending;
}

bool db_resolve_resolve(db_resolve* resolve) {
  db_browse* browse = resolve->browse;
  if (resolve->list == db_resolve_list::active) return false;
  const DnsSdBinding& dnssd = DnsSd();
  DNSServiceRef ref = nullptr;
  DNSServiceErrorType error = kDNSServiceErr_NotInitialized;
  if (dnssd.Resolve != nullptr) {
    error = dnssd.Resolve(&ref, 0, db_browse_network_interface(browse, resolve->network), resolve->name,
                          db_browse_row_at(resolve->row).service_type, "local", db_dnssd_resolve, resolve);
  }
  if (error != kDNSServiceErr_NoError || ref == nullptr) {
    db_resolve_cancel(resolve);
    return false;
  }
  Unlist(resolve);
  browse->active.push_back(resolve);
  resolve->list = db_resolve_list::active;
  resolve->ref = ref;
  resolve->socket = dnssd.RefSockFD(ref);
  browse->step_sockets_changed = true;
  resolve->deadline = aud_time_add(browse->step_time, browse->config.resolve_timeout);
  return true;
}

void db_resolve_cancel(db_resolve* resolve) {
  db_browse* browse = resolve->browse;
  if (resolve->list == db_resolve_list::recycle) return;
  if (resolve->list == db_resolve_list::active) {
    if (resolve->ref != nullptr && DnsSd().RefDeallocate != nullptr) DnsSd().RefDeallocate(resolve->ref);
    resolve->ref = nullptr;
    resolve->socket = -1;
    browse->step_sockets_changed = true;
  }
  Unlist(resolve);
  resolve->network = 0;
  resolve->row = 0;
  resolve->name[0] = '\0';
  browse->recycle.push_back(resolve);
  resolve->list = db_resolve_list::recycle;
}

void db_resolve_cancel_named(db_browse* browse, unsigned network, const char* name) {
  std::vector<db_resolve*> doomed;
  for (db_resolve* r : browse->active) {
    if (r->network == network && std::strcmp(r->name, name) == 0) doomed.push_back(r);
  }
  for (db_resolve* r : browse->pending) {
    if (r->network == network && std::strcmp(r->name, name) == 0) doomed.push_back(r);
  }
  for (db_resolve* r : doomed) db_resolve_cancel(r);
}

void db_resolve_cancel_all(db_browse* browse) {
  while (!browse->active.empty()) db_resolve_cancel(browse->active.front());
  while (!browse->pending.empty()) db_resolve_cancel(browse->pending.front());
}

void db_resolve_free_recycled(db_browse* browse) {
  for (db_resolve* r : browse->recycle) delete r;
  browse->recycle.clear();
}
