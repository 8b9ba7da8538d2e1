#pragma once
// The ids a unit reports: its product id (register 1, after GetProductID's
// rule for register 6), the id of the option card in its card slot
// (register 16) and of an installed module (register 25). Firmware images
// name the same ids.
#include <cstdint>

inline constexpr uint8_t kProductOrvella16 = 38;
inline constexpr uint8_t kProductOrvella8 = 39;
inline constexpr uint8_t kProductVinto = 49;
inline constexpr uint8_t kProductOrvellaN = 96;
inline constexpr uint8_t kProductSignalport = 128;

inline constexpr uint8_t kCardZtMadi = 19;
inline constexpr uint8_t kCardThunderbolt = 20;  // the card the host driver reaches the unit through
inline constexpr uint8_t kCardZiRerar = 21;
inline constexpr uint8_t kCardZtHd = 24;
inline constexpr uint8_t kCardZtFw = 25;
inline constexpr uint8_t kCardVeZer = 50;

inline constexpr uint8_t kModuleZmDig = 2;
