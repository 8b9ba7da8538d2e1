#pragma once
// Winsock for the library's own Windows files. The library may be the first
// in the process to use it; it is never stopped, as the process ends with it.

namespace mdns {

// Starts Winsock on first use; false when the system will not.
bool WinsockStarted();

}  // namespace mdns
