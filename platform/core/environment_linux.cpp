#include <cstdlib>

#include "platform/core/environment.h"

namespace platform {

void UnsetEnvironment(const char* name) { unsetenv(name); }

}  // namespace platform
