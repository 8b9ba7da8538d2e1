#pragma once
// The specialisation of DefaultService most backends need: one `Backend`
// object, made on first use, that lives for the whole process. Written
// once, inside namespace platform, by the backend's own file.
#include "platform/core/service.h"

#define PLATFORM_REAL_BACKEND(Service, Backend) \
  template <>                                   \
  Service& DefaultService<Service>() {          \
    static Backend backend;                     \
    return backend;                             \
  }

// The same for a backend that must outlive every other static object (one
// that objects destroyed at exit still call): made on first use and never
// destroyed.
#define PLATFORM_LASTING_BACKEND(Service, Backend) \
  template <>                                      \
  Service& DefaultService<Service>() {             \
    static Backend* backend = new Backend;         \
    return *backend;                               \
  }
