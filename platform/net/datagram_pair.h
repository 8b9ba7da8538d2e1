#pragma once
// Connected pairs of local datagram sockets (AF_UNIX, SOCK_DGRAM): real
// descriptors that poll and peek like UDP sockets, for a simulation that
// stands in for the network inside the process. Results and errors as in
// udp_socket.h; close either end with UdpClose.
#include <cstddef>

namespace platform::net {

// Two connected, non-blocking ends in `ends`; 0 or -1.
int DatagramPair(int ends[2], int* error = nullptr);
// One datagram to the other end (0 bytes allowed); its length or -1 (EAGAIN
// when the other end's queue is full).
int DatagramSend(int end, const void* data, size_t length, int* error = nullptr);
// One datagram from the other end without waiting; its length (cut to
// `size`) or -1 (EAGAIN when none is queued).
int DatagramReceive(int end, void* buffer, size_t size, int* error = nullptr);

}  // namespace platform::net
