#pragma once
// Forced into the Windows builds of the tests (cmake/windows.cmake): the few
// POSIX C calls the shared test files use for scratch folders and the
// environment, over the Windows C library, so the same files run on both.
#include <direct.h>
#include <io.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <random>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Replaces the trailing "XXXXXX" of `pattern` and makes that folder.
inline char* mkdtemp(char* pattern) {
  const size_t n = std::strlen(pattern);
  if (n < 6 || std::strcmp(pattern + n - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static std::random_device seed;
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (size_t i = n - 6; i < n; ++i) pattern[i] = letters[seed() % (sizeof letters - 1)];
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}
