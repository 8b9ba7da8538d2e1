#include "network/devices/dr_control.h"

#include <cerrno>

#include "network/devices/dr_message.h"
#include "platform/net/udp_service.h"

namespace {

platform::UdpService& Udp() { return platform::Use<platform::UdpService>(); }

}  // namespace

aud_error dr_devices_enable_socket_inet(dr_devices* devices) {
  int error = 0;
  const int socket = Udp().Open(&error);
  if (socket < 0) return aud_error_from_system_error(error);
  // An unconnected socket here never reports ICMP port-unreachable as a
  // receive error, so only non-blocking mode needs setting.
  if (Udp().SetNonBlocking(socket, &error) < 0) {
    Udp().Close(socket);
    return aud_error_from_system_error(error);
  }
  devices->control_socket = socket;
  return AUD_SUCCESS;
}

void dr_devices_disable_socket(dr_devices* devices) {
  if (devices->control_socket < 0) return;
  Udp().Close(devices->control_socket);
  devices->control_socket = -1;
}

aud_error dr_devices_drain_control_socket(dr_devices* devices) {
  uint8_t buffer[DR_MESSAGE_MAX];
  for (;;) {
    int error = 0;
    const int n = Udp().Receive(devices->control_socket, buffer, sizeof buffer, nullptr, nullptr, &error);
    if (n >= 0) {
      dr_devices_process_message(devices, buffer, static_cast<size_t>(n));
      continue;
    }
    const aud_error result = aud_error_from_system_error(error);
    if (result == AUD_ERR_TIMEDOUT) return AUD_SUCCESS;  // ran dry
    if (result == AUD_ERR_INTERRUPTED) return result;
    aud_log_printf(dr_devices_log(devices), AUD_LOG_ERROR, "%s: Error reading socket %d: %s", __func__,
                   devices->control_socket, aud_error_message(result));
    return result;
  }
}

void dr_devices_process_message(dr_devices* devices, const uint8_t* data, size_t length) {
  dr_message_header header{};
  if (!dr_message_read_header(data, length, &header)) {
    aud_log_printf(dr_devices_log(devices), AUD_LOG_DEBUG, "%s: Malformed message of %zu bytes\n", __func__, length);
    return;
  }
  if (header.kind == DR_MESSAGE_REQUEST) {
    aud_log_printf(dr_devices_log(devices), AUD_LOG_DEBUG, "%s: Unexpected request seqnum=0x%04x opcode=0x%04x",
                   __func__, header.seqnum, header.opcode);
    return;
  }
  for (dr_request& request : devices->requests) {
    if (!request.in_use || request.seqnum != header.seqnum || request.opcode != header.opcode) continue;
    // Free the slot first: the handler may send the next request.
    const dr_request taken = request;
    request = dr_request{};
    if (taken.on_response) taken.on_response(taken.device, taken.context, data, length);
    return;
  }
  aud_log_printf(dr_devices_log(devices), AUD_LOG_DEBUG, "%s: Unhandled response seqnum=0x%04x opcode=0x%04x",
                 __func__, header.seqnum, header.opcode);
}

dr_request* dr_devices_request_allocate(dr_devices* devices, dr_device* device, uint16_t opcode,
                                        dr_response_fn on_response, void* context) {
  for (dr_request& request : devices->requests) {
    if (request.in_use) continue;
    // Sequence number 0 is never given out, so a zeroed header never matches.
    if (++devices->next_seqnum == 0) devices->next_seqnum = 1;
    request = dr_request{true, devices->next_seqnum, opcode, device, on_response, context};
    return &request;
  }
  return nullptr;
}

void dr_devices_release_requests(dr_devices* devices, const dr_device* device) {
  for (dr_request& request : devices->requests) {
    if (request.in_use && request.device == device) request = dr_request{};
  }
}
