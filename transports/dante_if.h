#pragma once
// The network transport: reaches units through the ZI-RERAR card fitted to
// them. Open finds the cards by device discovery: a one-second browse
// window, every device it reports resolved to its IPv4 address beside the
// others, each within its own limit, so Open ends within the window and one
// resolve limit whatever the network holds. Addresses no card can have are
// refused, and one address is listed once. Afterwards every message is one
// UDP datagram to the selected card, port 5645 for the unit behind it or
// 5647 for the card itself, and replies arrive on local port 5646. The
// discovery library runs only inside Open.
#include <cstdint>
#include <memory>

#include "network/aud_types.h"
#include "network/browse/db_browse.h"
#include "network/devices/dr_devices.h"
#include "protocol/orvella_interface.h"

class CDanteIF : public COrvellaInterface {
 public:
  static constexpr int kMaxConnections = 16;
  static constexpr uint16_t kUnitPort = 5645;
  static constexpr uint16_t kCardPort = 5647;
  static constexpr uint16_t kReceivePort = 5646;
  static constexpr int kDiscoveryWindowMs = 1000;
  // How long Open waits for one device's address before dropping it.
  static constexpr int kResolveLimitMs = 2000;

  CDanteIF();
  ~CDanteIF() override;

  ORVELLA_INTERFACE_OPERATIONS
  int SetCardTarget(bool card) override;

  // Datagrams dropped because they came from another address than the
  // selected card's, or from another port than its two, since construction.
  unsigned ForeignDatagrams() const { return m_nForeignDatagrams; }
  // The IPv4 address of connection `index` in network byte order; 0 beyond
  // the list.
  uint32_t GetConnectionAddress(uint16_t index) const;

 private:
  static constexpr int kNoSocket = -1;
  static constexpr int kNameSize = 255;

  struct Discovery;  // the devices reported in this Open and their resolves

  // Steps 3 to 9 of Open: the library objects and the started browse.
  bool StartDiscovery();
  // The window and the resolves it started, then the connection list.
  void RunDiscovery();
  // One wait of at most `waitMs` on the browse and device sockets, then
  // the processing of what is readable.
  void DiscoverStep(int waitMs);
  // Starts resolving a device the browse reported.
  void AddDevice(const char* name);
  // Takes the addresses that came and drops the devices that cannot have
  // one any more; true while some resolve is still running.
  bool SweepResolves();
  // Fills the connection table from the resolved devices, in the order the
  // browse reported them.
  void ListDevices();
  void CloseResolves();
  // Both sockets; false (nothing left open) when one cannot be had.
  bool OpenSockets();
  static void CloseSocket(int& socket);
  // Counts a dropped datagram; logs the first of each Open.
  void NoteForeign(uint32_t from, uint16_t fromPort);

  static void OnNodeChanged(db_browse* browse, const db_node* node, db_node_change change);
  static void OnTreeChanged(db_browse* browse);
  static void OnBrowseSocketsChanged(db_browse* browse);
  static void OnDeviceSocketsChanged(dr_devices* devices);
  static void OnDeviceChanged(dr_device* device, unsigned changes);

  aud_env m_pEnv;
  db_browse* m_pBrowse;
  aud_socket_set m_BrowseSockets;
  dr_devices* m_pDevices;
  aud_socket_set m_DeviceSockets;
  uint16_t m_nConnections;
  uint16_t m_nSelected;
  char m_szDeviceNames[kMaxConnections][kNameSize];
  uint32_t m_DeviceAddresses[kMaxConnections];
  uint32_t m_TargetAddress;
  int m_RecvSocket;
  int m_SendSocket;
  bool m_bCardTarget;

  bool m_bBindingLoaded;
  std::unique_ptr<Discovery> m_pDiscovery;  // null outside Open
  bool m_bForeignLogged;
  unsigned m_nForeignDatagrams;
};
