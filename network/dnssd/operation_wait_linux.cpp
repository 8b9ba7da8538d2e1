// What a caller waits on: an epoll descriptor over the operation's sockets
// and its timer. The timer fires when a question or an expiry is due, and at
// once while replies wait, so a caller that only processes a readable
// descriptor never misses either. No helper thread and nothing sent to wake
// anyone.
#include <poll.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "network/dnssd/operation.h"

namespace mdns {

struct OperationWait {
  int timer = -1;  // timerfd
  int epoll = -1;  // over both sockets and the timer
};

void OperationWaitDeleter::operator()(OperationWait* wait) const {
  if (wait->epoll >= 0) close(wait->epoll);
  if (wait->timer >= 0) close(wait->timer);
  delete wait;
}

int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

namespace {

bool Watch(int epoll, int fd) {
  if (fd < 0) return true;  // no such socket (yet)
  epoll_event e{};
  e.events = EPOLLIN;
  e.data.fd = fd;
  return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &e) == 0;
}

}  // namespace

int OpenWait(_DNSServiceRef_t* op) {
  op->wait.reset(new OperationWait);
  OperationWait& w = *op->wait;
  w.timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  w.epoll = epoll_create1(EPOLL_CLOEXEC);
  if (w.timer < 0 || w.epoll < 0 || !Watch(w.epoll, w.timer) || !Watch(w.epoll, op->socket.fd())) {
    int error = errno;
    CloseWait(op);
    return error;
  }
  return 0;
}

void WatchOneShot(_DNSServiceRef_t* op) {
  if (op->wait) Watch(op->wait->epoll, op->oneShot.fd());
}

void CloseWait(_DNSServiceRef_t* op) { op->wait.reset(); }

int WaitDescriptor(const _DNSServiceRef_t* op) { return op->wait ? op->wait->epoll : -1; }

void Rearm(_DNSServiceRef_t* op) {
  if (!op->wait) return;
  int64_t due = op->pending.empty() ? NextDue(op) : 0;
  itimerspec when{};
  if (due >= 0) {
    // Absolute monotonic time; one already past fires at once (zero would
    // disarm, so the earliest is 1 ns).
    when.it_value.tv_sec = due / 1000;
    when.it_value.tv_nsec = (due % 1000) * 1000000 + 1;
  }
  timerfd_settime(op->wait->timer, TFD_TIMER_ABSTIME, &when, nullptr);
}

bool TakeWake(_DNSServiceRef_t* op) {
  uint64_t expirations = 0;
  return op->wait && read(op->wait->timer, &expirations, sizeof expirations) == sizeof expirations;
}

bool WaitForWork(_DNSServiceRef_t* op, int timeoutMs) {
  if (!op->wait) return false;
  pollfd p{op->wait->epoll, POLLIN, 0};
  return poll(&p, 1, timeoutMs) >= 0 || errno == EINTR;
}

}  // namespace mdns
