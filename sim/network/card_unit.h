#pragma once
// The unit behind a simulated network card: an Orvella(n) with a ZI-RERAR
// card (id 21, firmware 1.1), serial numbers of its own per index.
#include "sim/unit/unit_model.h"

namespace sim {

UnitConfig ZiRerarUnit(int index);

}  // namespace sim
