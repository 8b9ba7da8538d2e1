#include "network/dnssd/waker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace mdns {

int64_t NowMs();

namespace {

struct Wake {
  const void* key;
  int64_t dueMs;
  Endpoint endpoint;
  unsigned interface;
};

struct Waker {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<Wake> wakes;
  std::thread thread;
  bool stop = false;
  int socket = -1;
};

Waker& TheWaker() {
  static Waker w;
  return w;
}

void Send(int s, const Wake& w) {
  ip_mreqn out{};
  out.imr_ifindex = static_cast<int>(w.interface);
  setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(w.endpoint.port);
  to.sin_addr.s_addr = w.endpoint.group;
  const uint8_t emptyQuery[12] = {};
  sendto(s, emptyQuery, sizeof emptyQuery, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void Run(Waker* w) {
  std::unique_lock<std::mutex> hold(w->lock);
  while (!w->stop) {
    if (w->wakes.empty()) {
      w->changed.wait(hold);
      continue;
    }
    auto next = std::min_element(w->wakes.begin(), w->wakes.end(),
                                 [](const Wake& a, const Wake& b) { return a.dueMs < b.dueMs; });
    int64_t wait = next->dueMs - NowMs();
    if (wait <= 0) {
      Wake due = *next;
      w->wakes.erase(next);
      Send(w->socket, due);
      continue;
    }
    w->changed.wait_for(hold, std::chrono::milliseconds(wait));
  }
}

}  // namespace

void ScheduleWake(const void* key, int64_t dueMs, const Endpoint& endpoint, unsigned interface) {
  Waker& w = TheWaker();
  std::lock_guard<std::mutex> hold(w.lock);
  std::erase_if(w.wakes, [&](const Wake& x) { return x.key == key; });
  if (dueMs < 0) return;
  if (w.socket < 0) {
    w.socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (w.socket < 0) return;
    unsigned char ttl = 0;  // loop back to this host only
    unsigned char loop = 1;
    setsockopt(w.socket, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    setsockopt(w.socket, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  }
  w.wakes.push_back({key, dueMs, endpoint, interface});
  if (!w.thread.joinable()) {
    w.stop = false;
    w.thread = std::thread(Run, &w);
  }
  w.changed.notify_all();
}

void CancelWake(const void* key, bool lastOne) {
  Waker& w = TheWaker();
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(w.lock);
    std::erase_if(w.wakes, [&](const Wake& x) { return x.key == key; });
    if (lastOne && w.thread.joinable()) {
      w.stop = true;
      finished = std::move(w.thread);
    }
    w.changed.notify_all();
  }
  if (finished.joinable()) finished.join();
  if (lastOne) {
    std::lock_guard<std::mutex> hold(w.lock);
    if (w.socket >= 0 && !w.thread.joinable()) {
      close(w.socket);
      w.socket = -1;
    }
  }
}

}  // namespace mdns
