#pragma once
// Changes to the program's own environment.

namespace platform {

// Removes variable `name` from the environment (nothing when it is unset).
void UnsetEnvironment(const char* name);

}  // namespace platform
