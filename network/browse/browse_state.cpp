#include "network/browse/browse_state.h"

#include <cstring>

aud_log* db_browse_log(const db_browse* browse) { return aud_env_get_log(browse->env); }

void db_browse_record_error(db_browse* browse, aud_error error) {
  if (browse->step_error == AUD_SUCCESS) browse->step_error = error;
}

unsigned db_browse_slot(const db_browse* browse, unsigned network) {
  if (network >= browse->config.networks) return DB_BROWSE_SLOT_LOOPBACK;
  return network < 2 ? network : DB_BROWSE_SLOT_LOOPBACK;
}

unsigned db_browse_network_interface(const db_browse* browse, unsigned network) {
  // The loopback pseudo-network has no entry of its own in the config.
  if (network >= browse->config.networks || network >= 2) return browse->loopback_index;
  return browse->config.interface_indexes[network];
}

void db_copy_text(char* out, size_t max, const char* text, char stop) {
  size_t n = 0;
  while (n < max && text[n] != '\0' && (stop == '\0' || text[n] != stop)) ++n;
  std::memcpy(out, text, n);
  out[n] = '\0';
}
