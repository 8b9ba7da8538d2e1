// One step of the browse object over the sockets its caller found readable.
#include <vector>

#include "network/browse/browse_resolve.h"
#include "network/browse/browse_rows.h"
#include "network/browse/browse_state.h"
#include "network/dnssd_binding.h"
#include "network/dnssd_process.h"

namespace {

// Runs the replies waiting on one operation's socket and takes the socket
// out of the set. DNSSDFAIL when DNS-SD failed, else what a reply recorded.
aud_error ProcessSocket(db_browse* browse, int socket, DNSServiceRef ref, aud_socket_set* set,
                        const char* resolving) {
  DNSServiceErrorType result = dt_dns_sd_process_result(socket, ref);
  aud_socket_set_remove(set, socket);
  if (result != kDNSServiceErr_NoError) {
    if (resolving != nullptr) {
      aud_log_printf(db_browse_log(browse), AUD_LOG_ERROR, "%s: Error resolving '%s' using socket %d (dns error=%d)\n",
                     "db_browse_process", resolving, socket, result);
    }
    return AUD_ERR_DNSSDFAIL;
  }
  return browse->step_error;
}

// Cancels a resolve that ran out of time and asks DNS-SD to check the PTR
// record that named the instance, so a device that went away unannounced
// is forgotten.
void TimeOut(db_resolve* resolve) {
  db_browse* browse = resolve->browse;
  const DnsSdBinding& dnssd = DnsSd();
  const char* type = db_browse_row_at(resolve->row).service_type;
  // The reconfirm goes to the interface the instance was seen on.
  unsigned interfaceIndex = db_browse_network_interface(browse, resolve->network);
  char fullName[kDNSServiceMaxDomainName] = {};
  bool named = dnssd.ConstructFullName != nullptr &&
               dnssd.ConstructFullName(fullName, resolve->name, type, "local") == kDNSServiceErr_NoError;
  aud_log_printf(db_browse_log(browse), AUD_LOG_DEBUG, "%s: Resolve %s/%s (%s) timed out, removing and reconfirming\n",
                 "db_browse_process", type, resolve->name, fullName);
  db_resolve_cancel(resolve);
  if (named && dnssd.ReconfirmRecord != nullptr) {
    dnssd.ReconfirmRecord(0, interfaceIndex, fullName, kDNSServiceType_PTR, kDNSServiceClass_IN, 0, nullptr);
  }
}

}  // namespace

aud_error db_browse_process(db_browse* browse, aud_socket_set* set, aud_time* next) {
  if (browse == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (!browse->started) return AUD_ERR_INVALIDSTATE;
  aud_socket_set none;
  if (set == nullptr) {
    aud_socket_set_clear(&none);
    set = &none;
  }
  browse->step_time = aud_time_now();
  browse->step_error = AUD_SUCCESS;
  browse->step_sockets_changed = false;
  browse->step_tree_changed = false;

  // Replies cancel their own records (and, through callbacks, possibly
  // others), so walk a copy and skip what is no longer active. Cancelled
  // records stay allocated until the end of the step.
  std::vector<db_resolve*> running(browse->active);
  for (db_resolve* resolve : running) {
    if (resolve->list != db_resolve_list::active || !aud_socket_set_contains(set, resolve->socket)) continue;
    aud_error error = ProcessSocket(browse, resolve->socket, resolve->ref, set, resolve->name);
    if (error != AUD_SUCCESS) return error;
  }

  running = browse->active;
  for (db_resolve* resolve : running) {
    if (resolve->list == db_resolve_list::active && aud_time_cmp(resolve->deadline, browse->step_time) < 0) {
      TimeOut(resolve);
    }
  }

  for (db_browse_type& type : browse->types) {
    if (type.socket < 0 || !aud_socket_set_contains(set, type.socket)) continue;
    aud_error error = ProcessSocket(browse, type.socket, type.ref, set, nullptr);
    if (error != AUD_SUCCESS) return error;
  }

  while (browse->active.size() < browse->resolve_limit && !browse->pending.empty()) {
    if (!db_resolve_resolve(browse->pending.front())) break;
  }

  db_resolve_free_recycled(browse);

  if (browse->step_tree_changed && browse->tree_changed != nullptr) browse->tree_changed(browse);
  if (browse->step_sockets_changed && browse->sockets_changed != nullptr) browse->sockets_changed(browse);

  if (next != nullptr) *next = browse->active.empty() ? aud_time{0, 0} : browse->active.front()->deadline;
  return AUD_SUCCESS;
}
