#pragma once
#include "platform/core/log.h"  // IWYU pragma: export
