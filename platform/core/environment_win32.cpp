#include <cstdlib>

#include "platform/core/environment.h"

namespace platform {

// An empty value removes the variable.
void UnsetEnvironment(const char* name) { _putenv_s(name, ""); }

}  // namespace platform
