// Device handles: opening, state, addresses, one processing step, closing.
#include <cstdlib>
#include <cstring>

#include "network/devices/dr_control.h"
#include "network/devices/dr_device_addresses.h"
#include "network/devices/dr_device_internal.h"
#include "network/devices/dr_records.h"

namespace {

// Keeps at most DR_DEVICE_NAME_MAX bytes, never splitting a UTF-8 sequence.
void CopyName(char* out, const char* name) {
  size_t length = std::strlen(name);
  if (length > DR_DEVICE_NAME_MAX) {
    length = DR_DEVICE_NAME_MAX;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(out, name, length);
  out[length] = '\0';
}

void Link(dr_devices* devices, dr_device* device) {
  dr_device** at = &devices->devices;
  while (*at) at = &(*at)->next;
  *at = device;
}

void Unlink(dr_devices* devices, dr_device* device) {
  for (dr_device** at = &devices->devices; *at; at = &(*at)->next) {
    if (*at == device) {
      *at = device->next;
      device->next = nullptr;
      return;
    }
  }
}

void CancelAll(dr_device* device) {
  for (unsigned i = 0; i < device->addresses.count; ++i) dr_device_address_cancel(&device->addresses.slots[i]);
}

bool AnyAddress(const dr_device* device) {
  for (unsigned i = 0; i < device->addresses.count; ++i) {
    if (device->addresses.slots[i].flags & DR_SLOT_ADDRESS_KNOWN) return true;
  }
  return false;
}

aud_error UseGivenAddresses(dr_device* device, const dr_device_open_config* config, unsigned count) {
  bool any = false;
  for (unsigned i = 0; i < count; ++i) {
    const dr_address& given = config->addresses[i];
    if (given.host == 0) continue;
    dr_device_address& slot = device->addresses.slots[i];
    slot.address = given.host;
    slot.port = given.port ? given.port : DR_DEFAULT_CONTROL_PORT;
    slot.flags |= DR_SLOT_ADDRESS_KNOWN;
    any = true;
  }
  device->state = DR_DEVICE_STATE_RESOLVED;
  return any ? AUD_SUCCESS : AUD_ERR_NOTFOUND;
}

aud_error ResolveOnInterfaces(dr_device* device, const dr_device_open_config* config, unsigned count) {
  bool any = false;
  for (unsigned i = 0; i < count; ++i) {
    if (config->interface_indexes[i] == 0) continue;
    const aud_error error =
        dr_device_addresses_resolve_address_at_index(&device->addresses, i, config->interface_indexes[i]);
    if (error != AUD_SUCCESS) return error;
    any = true;
  }
  return any ? AUD_SUCCESS : AUD_ERR_NOTFOUND;
}

}  // namespace

const char* dr_device_state_to_string(unsigned state) {
  static const char* const kNames[] = {"ERROR", "RESOLVING", "RESOLVED", "QUERYING", "ACTIVE"};
  return state < sizeof kNames / sizeof kNames[0] ? kNames[state] : "UNKNOWN";
}

aud_error dr_device_open_with_config(dr_devices* devices, const dr_device_open_config* config, dr_device** out) {
  if (devices == nullptr || config == nullptr || out == nullptr) return AUD_ERR_INVALIDPARAMETER;
  *out = nullptr;
  const char* name = (config->name && config->name[0]) ? config->name : nullptr;
  unsigned count = config->num_addresses;
  unsigned flags = config->flags;
  if (name && count == 0) {
    count = 1;
    flags = 0;
  }
  if (count > DR_DEVICE_SLOTS_MAX) return AUD_ERR_INVALIDPARAMETER;
  if (!name && (!(flags & DR_DEVICE_CONFIG_ADDRESSES) || count == 0)) return AUD_ERR_INVALIDPARAMETER;

  auto* device = static_cast<dr_device*>(std::calloc(1, sizeof(dr_device)));
  if (device == nullptr) return AUD_ERR_NOMEMORY;
  device->devices = devices;
  if (name) CopyName(device->name, name);
  device->state = DR_DEVICE_STATE_RESOLVING;
  device->arcp_version = DR_ARCP_VERSION_DEFAULT;
  dr_device_addresses_init(&device->addresses, device, count);
  Link(devices, device);

  aud_error error;
  if (flags & DR_DEVICE_CONFIG_ADDRESSES) {
    error = UseGivenAddresses(device, config, count);
  } else if (flags & DR_DEVICE_CONFIG_INTERFACES) {
    error = ResolveOnInterfaces(device, config, count);
  } else {
    error = dr_device_addresses_resolve_address_at_index(&device->addresses, 0, 0);
  }
  if (error != AUD_SUCCESS) {
    Unlink(devices, device);
    CancelAll(device);
    std::free(device);
    return error;
  }
  *out = device;
  return AUD_SUCCESS;
}

aud_error dr_device_open_by_name(dr_devices* devices, const char* name, dr_device** out) {
  dr_device_open_config config{};
  config.name = name;
  return dr_device_open_with_config(devices, &config, out);
}

void dr_device_set_context(dr_device* device, void* context) {
  if (device) device->context = context;
}

void* dr_device_get_context(const dr_device* device) { return device ? device->context : nullptr; }

void dr_device_set_changed_callback(dr_device* device, dr_device_changed_fn callback) {
  if (device) device->changed = callback;
}

dr_device_state dr_device_get_state(const dr_device* device) {
  return device ? device->state : DR_DEVICE_STATE_ERROR;
}

aud_error dr_device_get_addresses(const dr_device* device, unsigned* count, dr_address* entries) {
  if (device == nullptr || count == nullptr || entries == nullptr) return AUD_ERR_INVALIDPARAMETER;
  const unsigned capacity = *count;
  for (unsigned i = 0; i < device->addresses.count && i < capacity; ++i) {
    const dr_device_address& slot = device->addresses.slots[i];
    const bool known = slot.flags & DR_SLOT_ADDRESS_KNOWN;
    entries[i] = known ? dr_address{slot.address, slot.port} : dr_address{0, 0};
  }
  *count = device->addresses.count;
  return AUD_SUCCESS;
}

unsigned dr_device_get_address_interface(const dr_device* device, unsigned index) {
  if (device == nullptr || index >= device->addresses.count) return 0;
  const dr_device_address& slot = device->addresses.slots[index];
  return (slot.flags & DR_SLOT_ADDRESS_KNOWN) ? slot.address_interface : 0;
}

bool dr_device_resolution_stopped(const dr_device* device) {
  if (device == nullptr) return true;
  for (unsigned i = 0; i < device->addresses.count; ++i) {
    const dr_device_address& slot = device->addresses.slots[i];
    if (slot.flags & (DR_SLOT_ADDRESS_KNOWN | DR_SLOT_RESOLVING | DR_SLOT_QUERYING)) return false;
  }
  return true;
}

void dr_device_close(dr_device* device) {
  if (device == nullptr) return;
  dr_devices* devices = device->devices;
  aud_log_printf(dr_devices_log(devices), AUD_LOG_DEBUG, "%s: starting, device '%s'\n", __func__, device->name);
  Unlink(devices, device);
  dr_devices_release_requests(devices, device);
  CancelAll(device);
  std::free(device);
  aud_log_printf(dr_devices_log(devices), AUD_LOG_DEBUG, "%s: finished\n", __func__);
}

void dr_device_set_state(dr_device* device, dr_device_state state) {
  if (device->state == state) return;
  aud_log_printf(dr_devices_log(device->devices), AUD_LOG_DEBUG, "%s(%s): Setting state to %s (was %s)\n", __func__,
                 device->name, dr_device_state_to_string(state), dr_device_state_to_string(device->state));
  device->state = state;
  if (device->in_process) {
    device->changes |= DR_DEVICE_CHANGE_STATE;
  } else if (device->changed) {
    device->changed(device, DR_DEVICE_CHANGE_STATE);
  }
}

aud_error dr_device_process(dr_device* device, aud_socket_set* set) {
  device->in_process = true;
  device->changes = 0;
  bool done = false;
  const aud_error result = dr_device_addresses_process_sockets(&device->addresses, set, &done);
  if (done) {
    device->changes |= DR_DEVICE_CHANGE_ADDRESSES;
    if (device->state == DR_DEVICE_STATE_RESOLVING && AnyAddress(device)) {
      dr_device_set_state(device, DR_DEVICE_STATE_RESOLVED);
    }
  }
  device->in_process = false;
  const unsigned changes = device->changes;
  device->changes = 0;
  // The callback may close the handle: nothing touches it afterwards.
  if (changes != 0 && device->changed) device->changed(device, changes);
  return result;
}
