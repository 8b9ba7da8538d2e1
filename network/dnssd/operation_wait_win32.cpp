// What a caller waits on, on Windows: a "bell", a loopback UDP socket
// connected to itself, so select, WSAPoll and a peek accept it as they
// accept any socket. Windows has no descriptor that gathers other sockets
// and a timer, so the system's wait threads stand in for the kernel's epoll:
// the operation's sockets signal an event (WSAEventSelect), a waitable timer
// marks the next thing due, and a wait on each sends one byte to the bell.
// Those waits touch nothing but the bell; everything else stays on the
// caller's one thread. Replies waiting ring the bell from the caller's
// thread at once.
#include <winsock2.h>

#include <algorithm>
#include <cstdint>

#include "network/dnssd/operation.h"
#include "network/dnssd/winsock_start_win32.h"

namespace mdns {

struct OperationWait {
  SOCKET bell = INVALID_SOCKET;
  HANDLE arrived = nullptr;  // auto-reset: a datagram came to one of the operation's sockets
  HANDLE due = nullptr;      // auto-reset waitable timer
  HANDLE arrivedWait = nullptr;
  HANDLE dueWait = nullptr;
};

namespace {

void Ring(SOCKET bell) {
  const char one = 1;
  // A full queue means the bell is ringing already.
  send(bell, &one, 1, 0);
}

VOID CALLBACK RingFromWait(PVOID bell, BOOLEAN) { Ring(reinterpret_cast<SOCKET>(bell)); }

SOCKET OpenBell() {
  SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in self{};
  self.sin_family = AF_INET;
  self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof self;
  u_long nonBlocking = 1;
  if (bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
      connect(s, reinterpret_cast<sockaddr*>(&self), length) != 0 || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

bool Watch(OperationWait& w, int fd) {
  return fd < 0 || WSAEventSelect(static_cast<SOCKET>(fd), w.arrived, FD_READ) == 0;
}

void Unwatch(int fd) {
  if (fd >= 0) WSAEventSelect(static_cast<SOCKET>(fd), nullptr, 0);
}

// True while a datagram waits on one of the operation's sockets. Each
// DNSServiceProcessResult takes one, and a socket's event need not fire
// again for those left behind (Wine's does not), so the bell is rung for
// them as epoll stays readable on Linux.
bool Queued(const _DNSServiceRef_t* op) {
  WSAPOLLFD sockets[2];
  ULONG n = 0;
  for (int fd : {op->socket.fd(), op->oneShot.fd()}) {
    if (fd >= 0) sockets[n++] = WSAPOLLFD{static_cast<SOCKET>(fd), POLLRDNORM, 0};
  }
  return n > 0 && WSAPoll(sockets, n, 0) > 0;
}

}  // namespace

void OperationWaitDeleter::operator()(OperationWait* w) const {
  // Blocks until a ring under way has finished, so the bell outlives it.
  if (w->arrivedWait) UnregisterWaitEx(w->arrivedWait, INVALID_HANDLE_VALUE);
  if (w->dueWait) UnregisterWaitEx(w->dueWait, INVALID_HANDLE_VALUE);
  if (w->due) CloseHandle(w->due);
  if (w->arrived) CloseHandle(w->arrived);
  if (w->bell != INVALID_SOCKET) closesocket(w->bell);
  delete w;
}

int64_t NowMs() { return static_cast<int64_t>(GetTickCount64()); }

int OpenWait(_DNSServiceRef_t* op) {
  op->wait.reset(new OperationWait);
  OperationWait& w = *op->wait;
  if (!WinsockStarted()) {
    CloseWait(op);
    return WSANOTINITIALISED;
  }
  w.bell = OpenBell();
  w.arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  w.due = CreateWaitableTimerW(nullptr, FALSE, nullptr);
  const PVOID bell = reinterpret_cast<PVOID>(w.bell);
  const bool ok = w.bell != INVALID_SOCKET && w.arrived && w.due && Watch(w, op->socket.fd()) &&
                  RegisterWaitForSingleObject(&w.arrivedWait, w.arrived, RingFromWait, bell, INFINITE,
                                              WT_EXECUTEINWAITTHREAD) &&
                  RegisterWaitForSingleObject(&w.dueWait, w.due, RingFromWait, bell, INFINITE,
                                              WT_EXECUTEINWAITTHREAD);
  if (!ok) {
    const int error = WSAGetLastError() != 0 ? WSAGetLastError() : static_cast<int>(GetLastError());
    CloseWait(op);
    return error != 0 ? error : -1;
  }
  return 0;
}

void WatchOneShot(_DNSServiceRef_t* op) {
  if (op->wait) Watch(*op->wait, op->oneShot.fd());
}

void CloseWait(_DNSServiceRef_t* op) {
  if (!op->wait) return;
  // The sockets may outlive the event they would signal.
  Unwatch(op->socket.fd());
  Unwatch(op->oneShot.fd());
  op->wait.reset();
}

int WaitDescriptor(const _DNSServiceRef_t* op) { return op->wait ? static_cast<int>(op->wait->bell) : -1; }

void Rearm(_DNSServiceRef_t* op) {
  if (!op->wait) return;
  if (!op->pending.empty()) {
    CancelWaitableTimer(op->wait->due);
    Ring(op->wait->bell);
    return;
  }
  if (Queued(op)) Ring(op->wait->bell);
  const int64_t due = NextDue(op);
  if (due < 0) {
    CancelWaitableTimer(op->wait->due);
    return;
  }
  // Relative, in 100 ns steps; one already past fires at once.
  LARGE_INTEGER when;
  when.QuadPart = -std::max<int64_t>(1, (due - NowMs()) * 10000);
  SetWaitableTimer(op->wait->due, &when, 0, nullptr, nullptr, FALSE);
}

bool TakeWake(_DNSServiceRef_t* op) {
  if (!op->wait) return false;
  bool rung = false;
  char bytes[16];
  while (recv(op->wait->bell, bytes, sizeof bytes, 0) != SOCKET_ERROR) rung = true;
  return rung;
}

bool WaitForWork(_DNSServiceRef_t* op, int timeoutMs) {
  if (!op->wait) return false;
  WSAPOLLFD p{op->wait->bell, POLLRDNORM, 0};
  return WSAPoll(&p, 1, timeoutMs) != SOCKET_ERROR || WSAGetLastError() == WSAEINTR;
}

}  // namespace mdns
