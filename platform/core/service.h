#pragma once
// Process-wide platform services. Each service is an abstract class; the
// running program uses its real backend, and a test or a simulation swaps
// in another for a scope with platform::Override. Every OS facility is
// reached through Use<Service>(): the services are Clock, WakeHint and
// MessagePump, SystemInfo, PowerSource, ProgramFiles, DynamicLibraries
// (platform/core), Files and Resources (files), MidiService (midi),
// DeviceControl (devctl), UdpService (net), ui::Host (ui; the fallback host
// when no front end installed one) and the engine's TransportFactory
// (protocol). Each real backend is one object that lives for the process.
//
// The other process-wide state, all of it, is here by name. Each piece is
// process-wide because what it stands for is (one log file, one signal
// disposition, one loaded library):
// - the diagnostic log (platform/core/log.cpp): the open log file and
//   whether a failure to open or write it was reported;
// - the wire trace (transports/wire_trace.cpp): the trace file of --trace,
//   its path, the time it started and whether a write failure was reported;
// - the abort signals (platform/session/abort_signals.cpp): the signal
//   received, the depth of writes in progress, the first Ctrl+C of a write,
//   the step that must finish before a signal acts, and whether each was
//   logged; partly written by the signal handler;
// - the sleep inhibitor (platform/session/sleep_inhibitor.cpp): whether
//   "no login manager" was logged;
// - the DNS-SD binding (network/dnssd_binding.cpp): the loaded DNS-SD
//   library and its table of functions, kept until the process ends;
// - the network interface folder (network/aud_interface.cpp): the root read
//   for interface facts, /sys/class/net unless a test points it elsewhere;
// - our DNS-SD client library (network/dnssd), loaded by the binding: as
//   any DNS-SD client library, it keeps per-process state of its own (its
//   record cache, its open operations and their sockets) behind its C API.
// - the Files and DeviceControl backends: why their last call failed (the
//   system's code, a description), which their LastError() gives.
// Nothing else in the program outlives a call or an object.

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
