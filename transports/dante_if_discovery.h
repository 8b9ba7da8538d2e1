#pragma once
// What one Open of the network transport knows about the devices the browse
// reported: each with its resolve, in the order they were reported.
#include <string>
#include <vector>

#include "platform/net/interfaces.h"
#include "transports/dante_if.h"

struct CDanteIF::Discovery {
  enum class State { kResolving, kResolved, kDropped };
  struct Device {
    std::string name;
    State state = State::kResolving;
    dr_device* handle = nullptr;  // open while resolving
    aud_time deadline{};
    uint32_t address = 0;  // network byte order, once resolved
  };

  std::vector<Device> devices;
  // This computer's interfaces, for the address rules.
  std::vector<platform::net::InterfaceInfo> interfaces;
  bool windowOpen = false;
  bool tooManyLogged = false;
};
