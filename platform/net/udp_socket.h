#pragma once
// IPv4 UDP sockets for the network transport. Addresses and ports are in
// host order.
//
// Errors, in the shape of the socket calls, for every call of this folder
// and of UdpService: 0 or a positive count on success, -1 on failure with
// the OS error in `*error` when `error` is given. The error is an errno
// value on every system (Winsock's codes become the errno names callers
// test: EAGAIN, EINTR, EADDRINUSE...; see winsock_win32.h), so callers
// above the platform layer test one set of names. Closing cannot fail in a
// way the caller could act on.
#include <cstddef>
#include <cstdint>

namespace platform::net {

// A new UDP socket, or -1.
int UdpOpen(int* error = nullptr);
// Binds to `address`:`port` (0 = any).
int UdpBind(int socket, uint32_t address, uint16_t port, int* error = nullptr);
int UdpSetNonBlocking(int socket, int* error = nullptr);
// Sends one datagram; a send that would block fails (EAGAIN).
int UdpSendTo(int socket, const void* data, size_t length, uint32_t address, uint16_t port, int* error = nullptr);
// Receives one datagram of at most `size` bytes without waiting; returns
// its length (0 for an empty datagram) or -1 (EAGAIN when none is queued).
// `from`/`fromPort` receive the sender when given.
int UdpReceive(int socket, void* buffer, size_t size, uint32_t* from = nullptr, uint16_t* fromPort = nullptr,
               int* error = nullptr);
// Looks at the next datagram without taking it: 1 when one is queued (even
// an empty one), -1 with EAGAIN when none is.
int UdpPeek(int socket, int* error = nullptr);
void UdpClose(int socket);

}  // namespace platform::net
