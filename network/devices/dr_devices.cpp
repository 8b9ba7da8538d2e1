// The device-control context: its life, its sockets and one processing step.
#include <cstdlib>

#include "network/devices/dr_control.h"
#include "network/devices/dr_device_internal.h"
#include "network/devices/dr_records.h"

aud_log* dr_devices_log(const dr_devices* devices) { return aud_env_get_log(devices->env); }

void dr_devices_notify_sockets_changed(dr_devices* devices) {
  if (devices->in_process) {
    devices->sockets_changed_pending = true;
    return;
  }
  if (devices->sockets_changed) devices->sockets_changed(devices);
}

aud_error dr_devices_new(aud_env env, dr_devices** out) {
  if (out == nullptr) return AUD_ERR_INVALIDPARAMETER;
  *out = nullptr;
  auto* devices = static_cast<dr_devices*>(std::calloc(1, sizeof(dr_devices)));
  if (devices == nullptr) return AUD_ERR_NOMEMORY;
  devices->env = env;
  devices->control_socket = -1;

  aud_interface loopback{};
  const aud_error found = aud_interface_find_loopback(&loopback);
  if (found == AUD_SUCCESS) {
    devices->have_loopback = true;
    devices->loopback_index = loopback.index;
    devices->loopback_address = loopback.address;
    aud_log_printf(dr_devices_log(devices), AUD_LOG_DEBUG, "%s: Found localhost interface with index %d\n", __func__,
                   static_cast<int>(loopback.index));
  } else {
    aud_log_printf(dr_devices_log(devices), AUD_LOG_WARNING, "%s: Error getting localhost interface index: %d\n",
                   __func__, static_cast<int>(found));
  }

  const aud_error opened = dr_devices_enable_socket_inet(devices);
  if (opened != AUD_SUCCESS) {
    std::free(devices);
    return opened;
  }
  dr_devices_notify_sockets_changed(devices);
  *out = devices;
  return AUD_SUCCESS;
}

aud_error dr_devices_delete(dr_devices* devices) {
  if (devices == nullptr) return AUD_ERR_INVALIDPARAMETER;
  // From inside its own processing the context is still in use.
  if (devices->devices != nullptr || devices->in_process) return AUD_ERR_INVALIDSTATE;
  dr_devices_disable_socket(devices);
  std::free(devices);
  return AUD_SUCCESS;
}

void dr_devices_set_context(dr_devices* devices, void* context) {
  if (devices) devices->context = context;
}

void* dr_devices_get_context(const dr_devices* devices) { return devices ? devices->context : nullptr; }

void dr_devices_set_sockets_changed_callback(dr_devices* devices, dr_devices_sockets_changed_fn callback) {
  if (devices) devices->sockets_changed = callback;
}

aud_error dr_devices_get_sockets(const dr_devices* devices, aud_socket_set* set) {
  if (devices == nullptr || set == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (devices->control_socket >= 0) aud_socket_set_add(set, devices->control_socket);
  for (const dr_device* device = devices->devices; device; device = device->next) {
    for (unsigned i = 0; i < device->addresses.count; ++i) {
      const dr_device_address& slot = device->addresses.slots[i];
      if (slot.socket >= 0) aud_socket_set_add(set, slot.socket);
    }
  }
  return AUD_SUCCESS;
}

aud_error dr_devices_process(dr_devices* devices, aud_socket_set* set) {
  if (devices == nullptr || set == nullptr) return AUD_ERR_INVALIDPARAMETER;
  if (devices->control_socket < 0) return AUD_ERR_NOTCONN;
  const bool outer = !devices->in_process;
  devices->in_process = true;

  // A changed callback may close any handle, or open new ones, so each
  // round starts again from the list's head and takes the first handle this
  // pass has not visited yet.
  const unsigned pass = ++devices->pass;
  for (;;) {
    dr_device* device = devices->devices;
    while (device && device->pass == pass) device = device->next;
    if (device == nullptr) break;
    device->pass = pass;
    const aud_error error = dr_device_process(device, set);
    if (error != AUD_SUCCESS) {
      aud_log_printf(dr_devices_log(devices), AUD_LOG_ERROR, "%s: Error processing sockets: %s", __func__,
                     aud_error_message(error));
    }
  }

  aud_error result = AUD_SUCCESS;
  if (aud_socket_set_contains(set, devices->control_socket)) result = dr_devices_drain_control_socket(devices);

  if (outer) {
    devices->in_process = false;
    if (devices->sockets_changed_pending) {
      devices->sockets_changed_pending = false;
      if (devices->sockets_changed) devices->sockets_changed(devices);
    }
  }
  return result;
}
