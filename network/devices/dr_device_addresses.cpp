// Address slots: resolve the instance, then query the host's A record.
#include "network/devices/dr_device_addresses.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "network/devices/dr_txt_versions.h"
#include "network/dnssd_binding.h"
#include "network/dnssd_process.h"
#include "platform/core/outside_text.h"
#include "platform/net/socket_wait.h"

namespace {

constexpr const char* kServiceType = "_netaudio-arc._udp.";
constexpr DNSServiceFlags kQueryFlags = kDNSServiceFlagsLongLivedQuery | kDNSServiceFlagsForceMulticast;  // 0x500

dr_device* Device(const dr_device_address* slot) { return slot->owner->device; }
dr_devices* Devices(const dr_device_address* slot) { return Device(slot)->devices; }

// The first error a reply handler records is the one reported.
void RecordError(dr_device_address* slot, aud_error error) {
  if (slot->owner->error == AUD_SUCCESS) slot->owner->error = error;
}

bool IsLoopback(const dr_device_address* slot, uint32_t interface_index) {
  const dr_devices* devices = Devices(slot);
  return devices->have_loopback && interface_index == devices->loopback_index;
}

// A slot listens on its own interface (any until the first reply names
// one) and on the loopback interface.
bool Accepts(const dr_device_address* slot, uint32_t interface_index) {
  return slot->interface_index == 0 || interface_index == slot->interface_index || IsLoopback(slot, interface_index);
}

void Adopt(dr_device_address* slot, uint32_t interface_index) {
  if (slot->interface_index == 0) slot->interface_index = interface_index;
}

// A port as DNS-SD hands it over (network byte order) in host order.
uint16_t PortFromWire(uint16_t port) {
  uint8_t bytes[2];
  std::memcpy(bytes, &port, 2);
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void SetAddress(dr_device_address* slot, uint32_t address, uint16_t port, uint32_t interface_index) {
  slot->address = address;
  slot->port = port;
  slot->address_interface = interface_index;
  slot->flags |= DR_SLOT_ADDRESS_KNOWN;
  slot->host[0] = '\0';
  slot->pending_port = 0;
}

// Checks the TXT record; false (with the error recorded) when it is refused.
bool TakeVersions(dr_device_address* slot, uint16_t txt_length, const unsigned char* txt) {
  dr_device* device = Device(slot);
  aud_log* log = dr_devices_log(device->devices);
  uint16_t arcp = 0;
  dr_router_version router{};
  const dr_txt_result result = dr_txt_read_versions(txt_length, txt, &arcp, &router);
  switch (result) {
    case DR_TXT_SAFE_MODE:
      device->safe_mode = true;
      aud_log_printf(log, AUD_LOG_ERROR, "%s: txt record has 'safe' key, marking as being in safe mode\n",
                     "device_address_resolve_callback");
      return true;
    case DR_TXT_VERSIONS:
      device->arcp_version = arcp;
      device->router_version = router;
      return true;
    default:
      break;
  }
  const bool arcp_bad = result == DR_TXT_MISSING_ARCP || result == DR_TXT_BAD_ARCP;
  const bool missing = result == DR_TXT_MISSING_ARCP || result == DR_TXT_MISSING_ROUTER;
  aud_log_printf(log, AUD_LOG_ERROR, "%s: device %s: txt record has %s '%s' key\n", "device_address_resolve_callback",
                 device->name, missing ? "no usable" : "an unparsable", arcp_bad ? "arcp_vers" : "router_vers");
  RecordError(slot, AUD_ERR_DNSSDFAIL);
  return false;
}

// One slot's readable DNS-SD socket: run its replies, then move the slot on.
aud_error dr_device_address_process_socket(dr_device_address* slot, bool* done) {
  dr_device* device = Device(slot);
  std::vector<int> readable;
  int os_error = 0;
  const int ready = platform::net::WaitReadable({slot->socket}, 0, readable, &os_error);
  // The device's name came from the network.
  const std::string shown = ready <= 0 ? EscapeOutsideText(device->name) : std::string();
  if (ready == 0) {
    std::fprintf(stderr,
                 "%s(device=%s state=%d sdref=%p socket=%d): ERROR, about to read blocked mDNS socket (select "
                 "returned %d)\n",
                 __func__, shown.c_str(), static_cast<int>(device->state), static_cast<void*>(slot->ref), slot->socket,
                 ready);
    return AUD_ERR_INVALIDSTATE;
  }
  if (ready < 0) {
    std::fprintf(stderr,
                 "%s(device=%s state=%d sdref=%p socket=%d): ERROR, about to read blocked mDNS socket (select "
                 "returned %d errno=%d)\n",
                 __func__, shown.c_str(), static_cast<int>(device->state), static_cast<void*>(slot->ref), slot->socket,
                 ready, os_error);
  }

  if (dt_dns_sd_process_result(slot->socket, slot->ref) != kDNSServiceErr_NoError) {
    dr_device_address_cancel(slot);
    return AUD_ERR_DNSSDFAIL;
  }
  if (slot->owner->error != AUD_SUCCESS) {
    dr_device_address_cancel(slot);
    return slot->owner->error;
  }
  const bool known = slot->flags & DR_SLOT_ADDRESS_KNOWN;
  if (slot->flags & DR_SLOT_QUERYING) {
    if (known) {
      dr_device_address_cancel(slot);
      *done = true;
    }
    return AUD_SUCCESS;
  }
  if (!(slot->flags & DR_SLOT_RESOLVING)) return AUD_ERR_INVALIDSTATE;
  if (known) {  // a loopback reply without a host: no query possible
    dr_device_address_cancel(slot);
    *done = true;
    return AUD_SUCCESS;
  }
  if (slot->host[0] == '\0') return AUD_SUCCESS;

  dr_device_address_cancel(slot);
  DNSServiceRef ref = nullptr;
  const DnsSdBinding& dnssd = DnsSd();
  const DNSServiceErrorType error =
      dnssd.QueryRecord ? dnssd.QueryRecord(&ref, kQueryFlags, 0, slot->host, kDNSServiceType_A, kDNSServiceClass_IN,
                                            device_address_query_callback, slot)
                        : kDNSServiceErr_NotInitialized;
  if (error != kDNSServiceErr_NoError || ref == nullptr) {
    aud_log_printf(dr_devices_log(device->devices), AUD_LOG_ERROR, "%s: Error querying device %s: %d\n", __func__,
                   device->name, static_cast<int>(error));
    return AUD_ERR_DNSSDFAIL;
  }
  slot->ref = ref;
  slot->socket = dnssd.RefSockFD(ref);
  slot->flags |= DR_SLOT_QUERYING;
  dr_devices_notify_sockets_changed(device->devices);
  return AUD_SUCCESS;
}

}  // namespace

void dr_device_addresses_init(dr_device_addresses* addresses, dr_device* device, unsigned count) {
  *addresses = dr_device_addresses{};
  addresses->device = device;
  addresses->count = count;
  addresses->error = AUD_SUCCESS;
  for (dr_device_address& slot : addresses->slots) {
    slot.owner = addresses;
    slot.socket = -1;
  }
}

void dr_device_address_cancel(dr_device_address* slot) {
  if (slot->ref != nullptr) {
    DnsSd().RefDeallocate(slot->ref);
    slot->ref = nullptr;
    slot->socket = -1;
    dr_devices_notify_sockets_changed(Devices(slot));
  }
  slot->flags &= ~(DR_SLOT_RESOLVING | DR_SLOT_QUERYING);
}

aud_error dr_device_addresses_resolve_address_at_index(dr_device_addresses* addresses, unsigned index,
                                                       unsigned interface_index) {
  if (index >= addresses->count) return AUD_ERR_INVALIDPARAMETER;
  dr_device_address* slot = &addresses->slots[index];
  dr_device_address_cancel(slot);
  slot->flags &= ~DR_SLOT_ADDRESS_KNOWN;
  slot->host[0] = '\0';
  slot->pending_port = 0;
  slot->address = 0;
  slot->port = 0;
  slot->interface_index = interface_index;

  const DnsSdBinding& dnssd = DnsSd();
  if (dnssd.Resolve == nullptr) return AUD_ERR_DNSSDFAIL;
  DNSServiceRef ref = nullptr;
  const DNSServiceErrorType error = dnssd.Resolve(&ref, 0, 0, addresses->device->name, kServiceType, "local",
                                                  device_address_resolve_callback, slot);
  if (error != kDNSServiceErr_NoError || ref == nullptr) return AUD_ERR_DNSSDFAIL;
  slot->ref = ref;
  slot->socket = dnssd.RefSockFD(ref);
  slot->flags |= DR_SLOT_RESOLVING;
  dr_devices_notify_sockets_changed(addresses->device->devices);
  return AUD_SUCCESS;
}

aud_error dr_device_addresses_process_sockets(dr_device_addresses* addresses, aud_socket_set* set, bool* done) {
  for (unsigned i = 0; i < addresses->count; ++i) {
    dr_device_address* slot = &addresses->slots[i];
    const int socket = slot->socket;
    if (socket < 0 || !aud_socket_set_contains(set, socket)) continue;
    const aud_error error = dr_device_address_process_socket(slot, done);
    aud_socket_set_remove(set, socket);
    if (error != AUD_SUCCESS) return error;
  }
  return AUD_SUCCESS;
}

void device_address_resolve_callback(DNSServiceRef, DNSServiceFlags, uint32_t interface_index,
                                     DNSServiceErrorType error, const char*, const char* host_target, uint16_t port,
                                     uint16_t txt_length, const unsigned char* txt, void* context) {
  auto* slot = static_cast<dr_device_address*>(context);
  // After an error nothing more is taken: the slot is about to be cancelled.
  if (slot->owner->error != AUD_SUCCESS) return;
  if (error != kDNSServiceErr_NoError) {
    RecordError(slot, AUD_ERR_DNSSDFAIL);
    return;
  }
  if (!Accepts(slot, interface_index)) return;
  // The first answer is the one followed; later ones change nothing.
  if (slot->pending_port != 0 || (slot->flags & DR_SLOT_ADDRESS_KNOWN)) return;

  const bool loopback = IsLoopback(slot, interface_index);
  const size_t host_length = host_target ? std::strlen(host_target) : 0;
  // A query needs a host name whole and a port to go with it; a port of 0
  // would also read as "no reply yet" and leave the slot waiting forever.
  // Heard on the loopback interface, a reply without a host is this
  // computer all the same.
  if (port == 0 || host_length > DR_HOST_NAME_MAX || (!loopback && host_length == 0)) {
    RecordError(slot, AUD_ERR_INVALIDDATA);
    return;
  }
  // The record is checked before any of it is taken, so a refused record
  // leaves no address behind.
  if (!TakeVersions(slot, txt_length, txt)) return;

  Adopt(slot, interface_index);
  if (host_length == 0) {
    SetAddress(slot, Devices(slot)->loopback_address, PortFromWire(port), interface_index);
  } else {
    std::memcpy(slot->host, host_target, host_length + 1);
    slot->pending_port = PortFromWire(port);
  }
}

void device_address_query_callback(DNSServiceRef, DNSServiceFlags flags, uint32_t interface_index,
                                   DNSServiceErrorType error, const char*, uint16_t, uint16_t, uint16_t rdlen,
                                   const void* rdata, uint32_t, void* context) {
  auto* slot = static_cast<dr_device_address*>(context);
  if (slot->pending_port == 0 || slot->owner->error != AUD_SUCCESS) return;
  if (error != kDNSServiceErr_NoError) {
    RecordError(slot, AUD_ERR_DNSSDFAIL);
    return;
  }
  if (!(flags & kDNSServiceFlagsAdd)) return;  // a record going away names no address
  if (!Accepts(slot, interface_index)) return;
  if (rdlen != 4 || rdata == nullptr) {
    RecordError(slot, AUD_ERR_INVALIDDATA);
    return;
  }
  Adopt(slot, interface_index);
  uint32_t address = 0;
  std::memcpy(&address, rdata, 4);
  // Heard on the loopback interface the device is on this computer: its
  // own loopback address keeps it apart from others here; any other host
  // address in its record may not be reachable from here, the loopback is.
  // An address that is no host's (0.0.0.0/8, multicast, reserved,
  // broadcast) stays as it came, for the caller to refuse.
  const uint8_t first = static_cast<const uint8_t*>(rdata)[0];
  const bool hostAddress = first != 0 && first < 224;
  if (IsLoopback(slot, interface_index) && hostAddress && first != 127) address = Devices(slot)->loopback_address;
  SetAddress(slot, address, slot->pending_port, interface_index);
}
