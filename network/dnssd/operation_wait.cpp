// What a caller waits on: an epoll descriptor over the operation's sockets
// and its timer. The timer fires when a question or an expiry is due, and at
// once while replies wait, so a caller that only processes a readable
// descriptor never misses either.
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "network/dnssd/operation.h"

namespace mdns {
namespace {

bool Watch(int epoll, int fd) {
  epoll_event e{};
  e.events = EPOLLIN;
  e.data.fd = fd;
  return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) == 0;
}

}  // namespace

int OpenWait(_DNSServiceRef_t* op) {
  op->timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  op->wait = epoll_create1(EPOLL_CLOEXEC);
  if (op->timer < 0 || op->wait < 0 || !Watch(op->wait, op->timer) || !Watch(op->wait, op->socket.fd())) {
    int error = errno;
    CloseWait(op);
    return error;
  }
  return 0;
}

void WatchOneShot(_DNSServiceRef_t* op) {
  if (op->wait >= 0 && op->oneShot.fd() >= 0) Watch(op->wait, op->oneShot.fd());
}

void CloseWait(_DNSServiceRef_t* op) {
  if (op->wait >= 0) close(op->wait);
  if (op->timer >= 0) close(op->timer);
  op->wait = op->timer = -1;
}

void Rearm(_DNSServiceRef_t* op) {
  if (op->timer < 0) return;
  int64_t due = op->pending.empty() ? NextDue(op) : 0;
  itimerspec when{};
  if (due >= 0) {
    // Absolute monotonic time; one already past fires at once (zero would
    // disarm, so the earliest is 1 ns).
    when.it_value.tv_sec = due / 1000;
    when.it_value.tv_nsec = (due % 1000) * 1000000 + 1;
  }
  timerfd_settime(op->timer, TFD_TIMER_ABSTIME, &when, nullptr);
}

bool TakeTimer(_DNSServiceRef_t* op) {
  uint64_t expirations = 0;
  return op->timer >= 0 && read(op->timer, &expirations, sizeof expirations) == sizeof expirations;
}

}  // namespace mdns
