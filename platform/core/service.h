#pragma once
// Process-wide platform services. Each service is an abstract class; the
// running program uses its real backend, and a test or a simulation swaps
// in another for a scope with platform::Override. There are no other
// globals: every OS facility is reached through Use<Service>().

namespace platform {

// Returns the real backend of a service. Each service's backend file
// specialises this; the object lives for the whole process.
template <class Service>
Service& DefaultService();

template <class Service>
struct ServiceSlot {
  static inline Service* current = nullptr;
};

// The service in force: the innermost override, else the real backend.
template <class Service>
Service& Use() {
  Service* s = ServiceSlot<Service>::current;
  return s ? *s : DefaultService<Service>();
}

// Puts `replacement` in force until the guard goes out of scope; guards nest.
template <class Service>
class Override {
 public:
  explicit Override(Service& replacement) : saved_(ServiceSlot<Service>::current) {
    ServiceSlot<Service>::current = &replacement;
  }
  ~Override() { ServiceSlot<Service>::current = saved_; }
  Override(const Override&) = delete;
  Override& operator=(const Override&) = delete;

 private:
  Service* saved_;
};

}  // namespace platform
