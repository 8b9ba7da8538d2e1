#include "transports/dante_if.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "network/dnssd_binding.h"
#include "platform/core/log.h"
#include "platform/net/udp_service.h"

namespace {

constexpr unsigned kBrowseTypes = DB_BROWSE_TYPE_MEDIA_DEVICE | DB_BROWSE_TYPE_CONMON_DEVICE;
// Two browsed types plus sixteen concurrent resolves.
constexpr unsigned kBrowseSocketBudget = 18;
constexpr aud_id kManufacturer = {{'Z', 'e', 'l', 'k', 0, 0, 0, 0}};
constexpr int kDiscoveryWindowMs = 1000;
constexpr int kDiscoverWaitMs = 1;
// Short enough that the resolve limit is checked often on any clock.
constexpr int kResolveWaitMs = 250;
constexpr int kReadWaitMs = 1;
// Foreign datagrams one Read skips before it reports nothing, so a flood
// cannot hold the caller.
constexpr int kForeignPerRead = 64;

platform::UdpService& Udp() { return platform::Use<platform::UdpService>(); }

aud_time Microseconds(int64_t us) {
  return aud_time{static_cast<int32_t>(us / 1000000), static_cast<int32_t>(us % 1000000)};
}

aud_time AfterMs(int ms) { return aud_time_add(aud_time_now(), Microseconds(int64_t{ms} * 1000)); }

int64_t MicrosecondsBetween(const aud_time& from, const aud_time& to) {
  return (static_cast<int64_t>(to.seconds) - from.seconds) * 1000000 + (to.microseconds - from.microseconds);
}

// Milliseconds from now until `deadline`, 0 once it has passed.
int MsUntil(const aud_time& deadline) {
  aud_time now = aud_time_now();
  if (aud_time_cmp(now, deadline) >= 0) return 0;
  return static_cast<int>((MicrosecondsBetween(now, deadline) + 999) / 1000);
}

}  // namespace

CDanteIF::CDanteIF()
    : m_pEnv(nullptr),
      m_pBrowse(nullptr),
      m_pDevices(nullptr),
      m_pDevice(nullptr),
      m_nConnections(0),
      m_nSelected(0xFFFF),
      m_TargetAddress(0),
      m_RecvSocket(kNoSocket),
      m_SendSocket(kNoSocket),
      m_bCardTarget(false),
      m_bBindingLoaded(false),
      m_DiscoveryEnd{},
      m_UnresolvedGraceUs(0),
      m_nForeignDatagrams(0) {
  aud_socket_set_clear(&m_BrowseSockets);
  aud_socket_set_clear(&m_DeviceSockets);
  std::memset(m_szDeviceNames, 0, sizeof(m_szDeviceNames));
  std::memset(m_DeviceAddresses, 0, sizeof(m_DeviceAddresses));
}

CDanteIF::~CDanteIF() { Close(); }

int CDanteIF::Open() {
  // A transport re-opened after a failure may still hold what that left.
  Close();
  m_nConnections = 0;
  m_nSelected = 0xFFFF;
  if (!LoadDnsSdBinding()) return 1;
  m_bBindingLoaded = true;
  if (!StartDiscovery()) {
    LogMessage("CDanteIF::Open: discovery could not start\n");
    Close();
    return 1;
  }
  m_DiscoveryEnd = AfterMs(kDiscoveryWindowMs);
  m_UnresolvedGraceUs = int64_t{kUnresolvedGraceMs} * 1000;
  while (aud_time_cmp(aud_time_now(), m_DiscoveryEnd) < 0) DiscoverStep();
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

void CDanteIF::DiscoverStep() {
  // The callbacks may refill m_BrowseSockets while the copy is in use.
  aud_socket_set ready = m_BrowseSockets;
  if (aud_socket_set_wait(&ready, kDiscoverWaitMs) <= 0) return;
  aud_time next{};
  db_browse_process(m_pBrowse, &ready, &next);
}

void CDanteIF::OnNodeChanged(db_browse* browse, const db_node* node, db_node_change change) {
  auto* self = static_cast<CDanteIF*>(db_browse_get_context(browse));
  if (!self || !node || node->kind != DB_NODE_DEVICE || change != DB_NODE_ADDED || !node->device) return;
  self->AddDevice(db_device_get_name(node->device));
}

void CDanteIF::AddDevice(const char* name) {
  if (!name) return;
  for (uint16_t i = 0; i < m_nConnections; ++i) {
    if (std::strncmp(m_szDeviceNames[i], name, kNameSize - 1) == 0) return;  // one connection per device
  }
  if (m_nConnections >= kMaxConnections) {
    LogMessage("CDanteIF::OnNodeChanged: more than %d devices, %s ignored\n", kMaxConnections, name);
    return;
  }
  char* slot = m_szDeviceNames[m_nConnections];
  std::snprintf(slot, kNameSize, "%s", name);
  // Resolving holds the browse still; the window is a second of browsing,
  // so one slow device cannot hide the others.
  aud_time start = aud_time_now();
  bool resolved = ResolveDeviceAddress(slot);
  int64_t spent = MicrosecondsBetween(start, aud_time_now());
  if (!resolved) {
    // Each device that leads nowhere would otherwise add its whole resolve
    // limit, and a network full of them would hold Open for ever.
    if (spent > m_UnresolvedGraceUs) spent = m_UnresolvedGraceUs;
    m_UnresolvedGraceUs -= spent > 0 ? spent : 0;
  }
  if (spent > 0) m_DiscoveryEnd = aud_time_add(m_DiscoveryEnd, Microseconds(spent));
  if (!resolved) {
    // A card without an address cannot be reached; keeping it would aim
    // every write at 0.0.0.0.
    LogMessage("CDanteIF::ResolveDeviceAddress: %s has no address, dropped\n", slot);
    slot[0] = '\0';
    return;
  }
  ++m_nConnections;
}

bool CDanteIF::ResolveDeviceAddress(const char* name) {
  if (dr_device_open_by_name(m_pDevices, name, &m_pDevice) != AUD_SUCCESS || !m_pDevice) {
    m_pDevice = nullptr;
    return false;
  }
  dr_device_set_context(m_pDevice, this);
  dr_device_set_changed_callback(m_pDevice, OnDeviceChanged);
  uint32_t address = 0;
  if (WaitForDeviceResolved()) {
    unsigned n = 2;
    dr_address entries[2] = {};
    if (dr_device_get_addresses(m_pDevice, &n, entries) == AUD_SUCCESS && n > 0) {
      address = entries[0].host != 0 ? entries[0].host : (n > 1 ? entries[1].host : 0);
    }
  }
  dr_device_close(m_pDevice);
  m_pDevice = nullptr;
  if (address == 0) return false;
  m_DeviceAddresses[m_nConnections] = address;
  return true;
}

bool CDanteIF::WaitForDeviceResolved() {
  // A device whose address never comes must not hold Open for ever.
  aud_time deadline = AfterMs(kResolveLimitMs);
  for (;;) {
    if (dr_device_get_state(m_pDevice) == DR_DEVICE_STATE_RESOLVED) return true;
    int left = MsUntil(deadline);
    if (left == 0) return false;
    aud_socket_set ready = m_DeviceSockets;
    int n = aud_socket_set_wait(&ready, left < kResolveWaitMs ? left : kResolveWaitMs);
    if (n < 0) return false;
    if (n > 0 && dr_devices_process(m_pDevices, &ready) != AUD_SUCCESS) return false;
  }
}

bool CDanteIF::OpenSockets() {
  int error = 0;
  m_SendSocket = Udp().Open(&error);
  if (m_SendSocket < 0) {
    m_SendSocket = kNoSocket;
    return false;
  }
  if (Udp().SetNonBlocking(m_SendSocket, &error) < 0) return false;
  m_RecvSocket = Udp().Open(&error);
  if (m_RecvSocket < 0) {
    m_RecvSocket = kNoSocket;
    return false;
  }
  if (Udp().Bind(m_RecvSocket, INADDR_ANY, kReceivePort, &error) < 0) {
    LogMessage("CDanteIF::Open: port %u cannot be bound (error %d)\n", kReceivePort, error);
    return false;
  }
  return true;
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

namespace {

// Releases a library object once and forgets it.
template <class Handle, class Release>
void ReleaseOnce(Handle*& handle, Release release) {
  if (handle == nullptr) return;
  release(handle);
  handle = nullptr;
}

}  // namespace

void CDanteIF::CloseSocket(int& socket) {
  if (socket == kNoSocket) return;
  Udp().Close(socket);
  socket = kNoSocket;
}

int CDanteIF::Close() {
  aud_socket_set_clear(&m_BrowseSockets);
  aud_socket_set_clear(&m_DeviceSockets);
  CloseSocket(m_SendSocket);
  CloseSocket(m_RecvSocket);
  ReleaseOnce(m_pDevice, dr_device_close);
  ReleaseOnce(m_pDevices, dr_devices_delete);
  ReleaseOnce(m_pBrowse, db_browse_delete);
  ReleaseOnce(m_pEnv, aud_env_release);
  if (m_bBindingLoaded) {
    UnloadDnsSdBinding();
    m_bBindingLoaded = false;
  }
  return 0;
}

void CDanteIF::SetPortNameFilter(const char*) {}

bool CDanteIF::IsOpen() { return m_RecvSocket != kNoSocket && m_SendSocket != kNoSocket; }

int CDanteIF::GetNumberOfConnections(uint16_t* count) {
  if (!count) return 1;
  *count = m_nConnections;
  return 0;
}

int CDanteIF::SelectConnection(uint16_t index) {
  if (index >= m_nConnections) return 1;
  m_nSelected = index;
  m_TargetAddress = m_DeviceAddresses[index];
  return 0;
}

int CDanteIF::GetSelectedConnection(uint16_t* index) {
  if (!IsOpen() || !index) return 1;
  *index = m_nSelected;
  return 0;
}

int CDanteIF::GetConnectionName(uint16_t, char* text, int size) {
  if (!text || size <= 0) return 1;
  const uint8_t* a = reinterpret_cast<const uint8_t*>(&m_TargetAddress);
  std::snprintf(text, static_cast<size_t>(size), "Dante (%u.%u.%u.%u)", a[0], a[1], a[2], a[3]);
  return 0;
}

uint32_t CDanteIF::GetConnectionAddress(uint16_t index) const {
  return index < m_nConnections ? m_DeviceAddresses[index] : 0;
}

int CDanteIF::SetCardTarget(bool card) {
  m_bCardTarget = card;
  return 0;
}

int CDanteIF::Write(const uint8_t* data, int length) {
  if (m_SendSocket == kNoSocket) return 1;
  if (length <= 0) return 0;
  // Nothing selected yet: 0.0.0.0 would reach this very machine.
  if (!data || m_TargetAddress == 0) return 1;
  int error = 0;
  int sent = Udp().SendTo(m_SendSocket, data, static_cast<size_t>(length), ntohl(m_TargetAddress),
                          m_bCardTarget ? kCardPort : kUnitPort, &error);
  return sent == length ? 0 : 1;
}

int CDanteIF::Read(uint8_t* buffer, int size, int* received) {
  if (!buffer || size < 0 || !received) return 1;
  if (m_RecvSocket == kNoSocket && Open() != 0) return 1;
  std::memset(buffer, 0, static_cast<size_t>(size));
  *received = 0;
  // No room: a datagram taken now would be cut to nothing and read as empty.
  if (size == 0) return 0;
  int wait = kReadWaitMs;
  for (int skipped = 0; skipped < kForeignPerRead; ++skipped) {
    std::vector<int> readable;
    int error = 0;
    if (Udp().WaitReadable({m_RecvSocket}, wait, readable, &error) <= 0) break;
    uint32_t from = 0;
    uint16_t fromPort = 0;
    int got = Udp().Receive(m_RecvSocket, buffer, static_cast<size_t>(size), &from, &fromPort, &error);
    if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK)) break;  // gone since the wait: nothing
    if (got >= 0 && htonl(from) != m_TargetAddress) {
      // Only the selected card may feed register data or acknowledgements
      // into a running update.
      ++m_nForeignDatagrams;
      std::memset(buffer, 0, static_cast<size_t>(size));
      wait = 0;
      continue;
    }
    if (got <= 0) {
      Close();
      return 1;
    }
    *received = got;
    return 0;
  }
  *received = 0;
  return 0;
}
