// Time values, socket sets and identifiers.
#include <cctype>
#include <cstring>
#include <vector>

#include "network/aud_types.h"
#include "platform/core/clock.h"
#include "platform/net/udp_service.h"

// ------------------------------------------------------------------- time

aud_time aud_time_now() {
  int64_t us = platform::Use<platform::Clock>().UnixMicroseconds();
  int64_t seconds = us / 1000000;
  int64_t micro = us % 1000000;
  if (micro < 0) {
    micro += 1000000;
    --seconds;
  }
  return aud_time{static_cast<int32_t>(seconds), static_cast<int32_t>(micro)};
}

int aud_time_cmp(const aud_time& a, const aud_time& b) {
  if (a.seconds != b.seconds) return a.seconds < b.seconds ? -1 : 1;
  if (a.microseconds != b.microseconds) return a.microseconds < b.microseconds ? -1 : 1;
  return 0;
}

aud_time aud_time_add(const aud_time& a, const aud_time& b) {
  int64_t micro = static_cast<int64_t>(a.microseconds) + b.microseconds;
  int64_t seconds = static_cast<int64_t>(a.seconds) + b.seconds + micro / 1000000;
  return aud_time{static_cast<int32_t>(seconds), static_cast<int32_t>(micro % 1000000)};
}

// ------------------------------------------------------------ socket sets

void aud_socket_set_clear(aud_socket_set* set) {
  if (!set) return;
  set->n = 0;
  set->read.count = 0;
  set->write.count = 0;
}

bool aud_socket_set_contains(const aud_socket_set* set, int socket) {
  if (!set) return false;
  for (unsigned i = 0; i < set->read.count; ++i) {
    if (set->read.sockets[i] == socket) return true;
  }
  return false;
}

bool aud_socket_set_add(aud_socket_set* set, int socket) {
  if (!set || socket < 0) return false;
  if (aud_socket_set_contains(set, socket)) return true;
  if (set->read.count >= AUD_SOCKET_SET_SIZE) return false;
  set->read.sockets[set->read.count++] = socket;
  set->n = static_cast<int>(set->read.count);
  return true;
}

bool aud_socket_set_remove(aud_socket_set* set, int socket) {
  if (!set) return false;
  for (unsigned i = 0; i < set->read.count; ++i) {
    if (set->read.sockets[i] == socket) {
      std::memmove(&set->read.sockets[i], &set->read.sockets[i + 1], (set->read.count - i - 1) * sizeof(int));
      --set->read.count;
      set->n = static_cast<int>(set->read.count);
      return true;
    }
  }
  return false;
}

int aud_socket_set_wait(aud_socket_set* set, int timeoutMs) {
  if (!set) return -1;
  std::vector<int> sockets(set->read.sockets, set->read.sockets + set->read.count);
  std::vector<int> readable;
  // Through the socket service, so that a simulated network is served
  // while the wait lasts and its time passes on the program's clock.
  int n = platform::Use<platform::UdpService>().WaitReadable(sockets, timeoutMs, readable, nullptr);
  aud_socket_set_clear(set);
  for (int s : readable) aud_socket_set_add(set, s);
  return n;
}

// ------------------------------------------------------------- identifiers

char* aud_id_to_text(const aud_id* id, char* text) {
  size_t len = 0;
  for (size_t i = 0; i < 8; ++i) {
    if (id->data[i] != 0) len = i + 1;
  }
  if (len == 0) {
    std::strcpy(text, "_00");
    return text;
  }
  bool plain = id->data[0] != '_';
  for (size_t i = 0; i < len && plain; ++i) {
    unsigned char c = id->data[i];
    plain = std::isalnum(c) || c == '-' || c == '_';
  }
  if (plain) {
    std::memcpy(text, id->data, len);
    text[len] = '\0';
    return text;
  }
  static const char kHex[] = "0123456789abcdef";
  char* p = text;
  *p++ = '_';
  for (size_t i = 0; i < len; ++i) {
    *p++ = kHex[id->data[i] >> 4];
    *p++ = kHex[id->data[i] & 15];
  }
  *p = '\0';
  return text;
}

int aud_hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool aud_id_from_text_length(aud_id* id, const char* text, size_t length) {
  if (!id) return false;
  std::memset(id->data, 0, sizeof id->data);
  if (!text || length == 0) return false;
  if (text[0] == '_') {
    size_t digits = length - 1;
    if (digits < 2 || digits > 16 || digits % 2 != 0) return false;
    for (size_t i = 0; i < digits; i += 2) {
      int hi = aud_hex_value(text[1 + i]);
      int lo = aud_hex_value(text[2 + i]);
      if (hi < 0 || lo < 0) {
        std::memset(id->data, 0, sizeof id->data);
        return false;
      }
      id->data[i / 2] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
  }
  if (length > 8 || std::memchr(text, '\0', length) != nullptr) return false;
  std::memcpy(id->data, text, length);
  return true;
}

bool aud_id_from_text(aud_id* id, const char* text) {
  return aud_id_from_text_length(id, text, text ? std::strlen(text) : 0);
}
