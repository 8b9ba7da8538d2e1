#include "sim/network/card_unit.h"

#include "protocol/product_ids.h"
#include "protocol/serial_packing.h"

namespace sim {

UnitConfig ZiRerarUnit(int index) {
  UnitConfig unit;
  unit.serial = serial_packing::Pack(0x60, 18, 45, 1300u + static_cast<uint32_t>(index));
  unit.card.id = kCardZiRerar;
  unit.card.major = 1;
  unit.card.minor = 1;
  unit.card.pcb = 1;
  unit.card.serial = serial_packing::Pack(kCardZiRerar, 18, 40, 80u + static_cast<uint32_t>(index));
  return unit;
}

}  // namespace sim
