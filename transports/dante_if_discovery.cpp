// The network transport's discovery: Open's browse window, the resolves of
// the devices it reports, and the connection table built from them.
//
// Every resolve runs beside the browse and the others on the one thread, so
// a device whose record never resolves costs its own resolve limit at most
// and holds up nothing else: Open ends once the window has closed and every
// resolve it started has ended, and never later than the window plus one
// resolve limit.
#include <cstdio>
#include <cstring>

#include "network/dnssd_binding.h"
#include "platform/core/log.h"
#include "platform/core/outside_text.h"
#include "transports/card_address.h"
#include "transports/dante_if.h"
#include "transports/dante_if_discovery.h"

namespace {

constexpr unsigned kBrowseTypes = DB_BROWSE_TYPE_MEDIA_DEVICE | DB_BROWSE_TYPE_CONMON_DEVICE;
// Two browsed types plus sixteen concurrent resolves.
constexpr unsigned kBrowseSocketBudget = 18;
constexpr aud_id kManufacturer = {{'Z', 'e', 'l', 'k', 0, 0, 0, 0}};
// The longest single wait, so deadlines are seen in time on any clock.
constexpr int kLongestWaitMs = 100;
// Devices one Open resolves at most (each holds a socket while it does).
constexpr size_t kMaxDevices = 256;

aud_time AfterMs(const aud_time& from, int ms) {
  return aud_time_add(from, aud_time{ms / 1000, (ms % 1000) * 1000});
}

bool Before(const aud_time& a, const aud_time& b) { return aud_time_cmp(a, b) < 0; }

// Milliseconds from `now` until `deadline`, rounded up; 0 once it has passed.
int MsUntil(const aud_time& now, const aud_time& deadline) {
  if (!Before(now, deadline)) return 0;
  const int64_t us = (static_cast<int64_t>(deadline.seconds) - now.seconds) * 1000000 +
                     (deadline.microseconds - now.microseconds);
  return static_cast<int>((us + 999) / 1000);
}

std::string Shown(const std::string& name) { return EscapeOutsideText(name); }

}  // namespace

int CDanteIF::Open() {
  // A transport re-opened after a failure may still hold what that left.
  Close();
  m_nConnections = 0;
  m_nSelected = 0xFFFF;
  if (!LoadDnsSdBinding()) return 1;
  m_bBindingLoaded = true;
  m_pDiscovery = std::make_unique<Discovery>();
  if (!StartDiscovery()) {
    LogMessage("CDanteIF::Open: discovery could not start\n");
    Close();
    return 1;
  }
  RunDiscovery();
  if (m_nConnections == 0 || !OpenSockets()) {
    Close();
    return 1;
  }
  return 0;
}

bool CDanteIF::StartDiscovery() {
  if (aud_env_acquire(&m_pEnv) != AUD_SUCCESS) {
    m_pEnv = nullptr;
    return false;
  }
  if (db_browse_new(m_pEnv, kBrowseTypes, &m_pBrowse) != AUD_SUCCESS) {
    m_pBrowse = nullptr;
    return false;
  }
  if (db_browse_set_max_sockets(m_pBrowse, kBrowseSocketBudget) != AUD_SUCCESS) return false;
  if (dr_devices_new(m_pEnv, &m_pDevices) != AUD_SUCCESS) {
    m_pDevices = nullptr;
    return false;
  }
  dr_devices_set_context(m_pDevices, this);
  dr_devices_set_sockets_changed_callback(m_pDevices, OnDeviceSocketsChanged);
  aud_socket_set_clear(&m_DeviceSockets);
  if (dr_devices_get_sockets(m_pDevices, &m_DeviceSockets) != AUD_SUCCESS) return false;
  if (db_browse_set_manufacturer(m_pBrowse, &kManufacturer) != AUD_SUCCESS) return false;
  db_browse_set_node_changed_callback(m_pBrowse, OnNodeChanged);
  db_browse_set_tree_changed_callback(m_pBrowse, OnTreeChanged);
  db_browse_set_sockets_changed_callback(m_pBrowse, OnBrowseSocketsChanged);
  db_browse_set_context(m_pBrowse, this);
  db_browse_config config;
  db_browse_config_init(&config);
  if (db_browse_start_config(m_pBrowse, &config) != AUD_SUCCESS) return false;
  aud_socket_set_clear(&m_BrowseSockets);
  return db_browse_get_sockets(m_pBrowse, &m_BrowseSockets) == AUD_SUCCESS;
}

void CDanteIF::RunDiscovery() {
  Discovery& d = *m_pDiscovery;
  platform::net::ListInterfaces(d.interfaces);
  const aud_time windowEnd = AfterMs(aud_time_now(), kDiscoveryWindowMs);
  // A device reported at the window's last moment still has its whole limit.
  const aud_time lastEnd = AfterMs(windowEnd, kResolveLimitMs);
  d.windowOpen = true;
  for (;;) {
    const bool resolving = SweepResolves();
    const aud_time now = aud_time_now();
    if (d.windowOpen && !Before(now, windowEnd)) d.windowOpen = false;
    if (!d.windowOpen && (!resolving || !Before(now, lastEnd))) break;
    aud_time next = d.windowOpen ? windowEnd : lastEnd;
    for (const Discovery::Device& device : d.devices) {
      if (device.state == Discovery::State::kResolving && Before(device.deadline, next)) next = device.deadline;
    }
    const int wait = MsUntil(now, next);
    DiscoverStep(wait < kLongestWaitMs ? wait : kLongestWaitMs);
  }
  CloseResolves();
  ListDevices();
}

void CDanteIF::DiscoverStep(int waitMs) {
  // Copies: the callbacks may refill m_BrowseSockets and m_DeviceSockets.
  aud_socket_set ready = m_BrowseSockets;
  for (unsigned i = 0; i < m_DeviceSockets.read.count; ++i) aud_socket_set_add(&ready, m_DeviceSockets.read.sockets[i]);
  if (aud_socket_set_wait(&ready, waitMs) <= 0) return;
  // Each object takes its own sockets out of the set and leaves the rest.
  dr_devices_process(m_pDevices, &ready);
  aud_time next{};
  db_browse_process(m_pBrowse, &ready, &next);
}

void CDanteIF::OnNodeChanged(db_browse* browse, const db_node* node, db_node_change change) {
  auto* self = static_cast<CDanteIF*>(db_browse_get_context(browse));
  if (!self || !node || node->kind != DB_NODE_DEVICE || change != DB_NODE_ADDED || !node->device) return;
  self->AddDevice(db_device_get_name(node->device));
}

void CDanteIF::AddDevice(const char* name) {
  Discovery* d = m_pDiscovery.get();
  // The list is made of what the window found; later reports are not waited for.
  if (!name || !d || !d->windowOpen) return;
  for (const Discovery::Device& known : d->devices) {
    if (known.name == name) return;  // one connection per device
  }
  if (d->devices.size() >= kMaxDevices) {
    if (!d->tooManyLogged) LogMessage("CDanteIF::Open: more than %zu devices reported, the rest ignored\n", kMaxDevices);
    d->tooManyLogged = true;
    return;
  }
  Discovery::Device device;
  device.name = name;
  device.deadline = AfterMs(aud_time_now(), kResolveLimitMs);
  if (dr_device_open_by_name(m_pDevices, name, &device.handle) != AUD_SUCCESS || !device.handle) {
    device.handle = nullptr;
    device.state = Discovery::State::kDropped;
    LogMessage("CDanteIF::ResolveDeviceAddress: %s has no address, dropped\n", Shown(name).c_str());
  } else {
    dr_device_set_context(device.handle, this);
    dr_device_set_changed_callback(device.handle, OnDeviceChanged);
  }
  d->devices.push_back(std::move(device));
}

bool CDanteIF::SweepResolves() {
  Discovery& d = *m_pDiscovery;
  const aud_time now = aud_time_now();
  bool resolving = false;
  for (Discovery::Device& device : d.devices) {
    if (device.state != Discovery::State::kResolving) continue;
    uint32_t address = 0;
    unsigned heardOn = 0;
    if (dr_device_get_state(device.handle) == DR_DEVICE_STATE_RESOLVED) {
      unsigned n = 2;
      dr_address entries[2] = {};
      if (dr_device_get_addresses(device.handle, &n, entries) == AUD_SUCCESS && n > 0) {
        const unsigned slot = entries[0].host != 0 ? 0 : 1;
        if (slot < n && slot < 2) {
          address = entries[slot].host;
          heardOn = dr_device_get_address_interface(device.handle, slot);
        }
      }
    } else if (!dr_device_resolution_stopped(device.handle) && Before(now, device.deadline)) {
      resolving = true;
      continue;
    }
    dr_device_close(device.handle);
    device.handle = nullptr;
    device.state = Discovery::State::kDropped;
    if (address == 0) {
      // A card without an address cannot be reached; keeping it would aim
      // every write at 0.0.0.0.
      LogMessage("CDanteIF::ResolveDeviceAddress: %s has no address, dropped\n", Shown(device.name).c_str());
    } else if (const char* why = CardAddressRefusal(address, heardOn, d.interfaces)) {
      LogMessage("CDanteIF::ResolveDeviceAddress: %s at %s refused: %s\n", Shown(device.name).c_str(),
                 DottedAddress(address).c_str(), why);
    } else {
      device.address = address;
      device.state = Discovery::State::kResolved;
    }
  }
  return resolving;
}

void CDanteIF::ListDevices() {
  for (const Discovery::Device& device : m_pDiscovery->devices) {
    if (device.state != Discovery::State::kResolved) continue;
    // Every card takes its datagrams on the same ports, so one address is
    // one card: a second entry for it would program the first one.
    const char* twin = nullptr;
    for (uint16_t i = 0; i < m_nConnections && !twin; ++i) {
      if (m_DeviceAddresses[i] == device.address) twin = m_szDeviceNames[i];
    }
    if (twin) {
      LogMessage("CDanteIF::Open: %s at %s has the address of %s, dropped\n", Shown(device.name).c_str(),
                 DottedAddress(device.address).c_str(), Shown(twin).c_str());
      continue;
    }
    if (m_nConnections >= kMaxConnections) {
      LogMessage("CDanteIF::Open: more than %d devices, %s ignored\n", kMaxConnections, Shown(device.name).c_str());
      continue;
    }
    std::snprintf(m_szDeviceNames[m_nConnections], kNameSize, "%s", device.name.c_str());
    m_DeviceAddresses[m_nConnections] = device.address;
    ++m_nConnections;
  }
}

void CDanteIF::CloseResolves() {
  if (!m_pDiscovery) return;
  for (Discovery::Device& device : m_pDiscovery->devices) {
    if (device.handle == nullptr) continue;
    dr_device_close(device.handle);
    device.handle = nullptr;
    if (device.state == Discovery::State::kResolving) {
      device.state = Discovery::State::kDropped;
      LogMessage("CDanteIF::ResolveDeviceAddress: %s has no address, dropped\n", Shown(device.name).c_str());
    }
  }
}

void CDanteIF::OnTreeChanged(db_browse*) {}

void CDanteIF::OnBrowseSocketsChanged(db_browse* browse) {
  auto* self = static_cast<CDanteIF*>(db_browse_get_context(browse));
  if (!self) return;
  aud_socket_set_clear(&self->m_BrowseSockets);
  db_browse_get_sockets(browse, &self->m_BrowseSockets);
}

void CDanteIF::OnDeviceSocketsChanged(dr_devices* devices) {
  auto* self = static_cast<CDanteIF*>(dr_devices_get_context(devices));
  if (!self) return;
  aud_socket_set_clear(&self->m_DeviceSockets);
  dr_devices_get_sockets(devices, &self->m_DeviceSockets);
}

void CDanteIF::OnDeviceChanged(dr_device*, unsigned) {}
