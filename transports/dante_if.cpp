#include "transports/dante_if.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "network/dnssd_binding.h"
#include "platform/core/input_wait.h"
#include "platform/core/log.h"
#include "platform/net/byte_order.h"
#include "platform/net/udp_service.h"
#include "transports/dante_if_discovery.h"

namespace {

// Foreign datagrams one Read skips before it reports nothing, so a flood
// cannot hold the caller.
constexpr int kForeignPerRead = 64;

// The card answers from its two ports only: the unit's and its own.
bool CardPort(uint16_t port) { return port == CDanteIF::kUnitPort || port == CDanteIF::kCardPort; }

platform::UdpService& Udp() { return platform::Use<platform::UdpService>(); }

}  // namespace

CDanteIF::CDanteIF()
    : m_pEnv(nullptr),
      m_pBrowse(nullptr),
      m_pDevices(nullptr),
      m_nConnections(0),
      m_nSelected(0xFFFF),
      m_TargetAddress(0),
      m_RecvSocket(kNoSocket),
      m_SendSocket(kNoSocket),
      m_bCardTarget(false),
      m_bBindingLoaded(false),
      m_bForeignLogged(false),
      m_nForeignDatagrams(0) {
  aud_socket_set_clear(&m_BrowseSockets);
  aud_socket_set_clear(&m_DeviceSockets);
  std::memset(m_szDeviceNames, 0, sizeof(m_szDeviceNames));
  std::memset(m_DeviceAddresses, 0, sizeof(m_DeviceAddresses));
}

CDanteIF::~CDanteIF() { Close(); }

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
  if (Udp().Bind(m_RecvSocket, platform::net::kAnyAddress, kReceivePort, &error) < 0) {
    LogMessage("CDanteIF::Open: port %u cannot be bound (error %d)\n", kReceivePort, error);
    return false;
  }
  // Idle waits block on the receive socket, so an answer ends them at once.
  platform::Use<platform::InputWait>().Watch(m_RecvSocket);
  m_bForeignLogged = false;
  return true;
}

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
  platform::Use<platform::InputWait>().Forget(socket);
  Udp().Close(socket);
  socket = kNoSocket;
}

int CDanteIF::Close() {
  aud_socket_set_clear(&m_BrowseSockets);
  aud_socket_set_clear(&m_DeviceSockets);
  CloseSocket(m_SendSocket);
  CloseSocket(m_RecvSocket);
  CloseResolves();  // the context cannot go while handles are open
  m_pDiscovery.reset();
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
  int sent = Udp().SendTo(m_SendSocket, data, static_cast<size_t>(length),
                          platform::net::NetworkToHost32(m_TargetAddress), m_bCardTarget ? kCardPort : kUnitPort,
                          &error);
  return sent == length ? 0 : 1;
}

int CDanteIF::Read(uint8_t* buffer, int size, int* received) {
  if (!buffer || size < 0 || !received) return 1;
  if (m_RecvSocket == kNoSocket && Open() != 0) return 1;
  std::memset(buffer, 0, static_cast<size_t>(size));
  *received = 0;
  // No room: a datagram taken now would be cut to nothing and read as empty.
  if (size == 0) return 0;
  // Read only takes what is there: the caller's idle wait blocks on the
  // socket, so waiting here too would only add a wait after every answer.
  for (int skipped = 0; skipped < kForeignPerRead; ++skipped) {
    uint32_t from = 0;
    uint16_t fromPort = 0;
    int error = 0;
    int got = Udp().Receive(m_RecvSocket, buffer, static_cast<size_t>(size), &from, &fromPort, &error);
    if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK)) break;  // nothing queued
    if (got >= 0 && (platform::net::HostToNetwork32(from) != m_TargetAddress || !CardPort(fromPort))) {
      // Only the selected card's own ports may feed register data or
      // acknowledgements into a running update; the rest is dropped.
      NoteForeign(from, fromPort);
      std::memset(buffer, 0, static_cast<size_t>(size));
      continue;
    }
    if (got <= 0) {
      Close();
      return 1;
    }
    *received = got;
    return 0;
  }
  return 0;
}

void CDanteIF::NoteForeign(uint32_t from, uint16_t fromPort) {
  ++m_nForeignDatagrams;
  if (m_bForeignLogged) return;
  // Once per Open: a flood must not flood the log too.
  m_bForeignLogged = true;
  LogMessage("CDanteIF::Read: datagrams not from the card's ports are dropped (first from %u.%u.%u.%u port %u)\n",
             (from >> 24) & 0xFF, (from >> 16) & 0xFF, (from >> 8) & 0xFF, from & 0xFF, fromPort);
}
