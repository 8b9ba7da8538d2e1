#include "platform/core/clock.h"
