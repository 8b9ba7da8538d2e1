#pragma once
// UDP for a socket bound to any address that serves several local
// addresses: each datagram received says which local address it was sent
// to, and a reply can leave from a chosen local address. Results and errors
// as in udp_socket.h; addresses and ports in host order.
#include <cstddef>
#include <cstdint>

namespace platform::net {

// Makes every later receive on `socket` report its destination address.
int UdpReportDestination(int socket, int* error = nullptr);
// UdpReceive that also gives the local address the datagram was sent to
// (0 when the socket does not report it).
int UdpReceiveAddressed(int socket, void* buffer, size_t size, uint32_t* from, uint16_t* fromPort, uint32_t* to,
                        int* error = nullptr);
// UdpSendTo with `source` as the datagram's sender address (a local one).
int UdpSendFrom(int socket, const void* data, size_t length, uint32_t source, uint32_t address, uint16_t port,
                int* error = nullptr);

}  // namespace platform::net
