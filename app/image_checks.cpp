#include "app/image_checks.h"

#include <cstdio>
#include <cstring>

#include "app/entry_details.h"
#include "app/resources/images/image_layout.h"
#include "protocol/product_ids.h"

namespace {

uint32_t LittleEndian32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

template <class... Args>
std::string Format(const char* format, Args... args) {
  char text[768];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

std::string DeviceKindName(uint8_t productId) {
  if (productId == kModuleZmDig) return "ZM-DIG module";
  if (productId == kProductOrvellaN) return "Orvella(n) main unit";
  const char* card = CardName(productId);
  return std::strcmp(card, "Unknown") == 0 ? "unknown device" : std::string(card) + " card";
}

uint32_t ImageCapacity(uint8_t productId) {
  switch (productId) {
    case kProductOrvellaN:
      return 4u << 20;  // known image 3,026,032 bytes
    case kModuleZmDig:
      return 512u << 10;  // 341,712
    case kCardZiRerar:
      return 512u << 10;  // 340,884
    case kCardVeZer:
      return 64u << 10;  // 49,408
    default:
      return 0;
  }
}

std::string CheckImageContent(const std::string& fileName, uint8_t nameId, const uint8_t* data, uint32_t size) {
  const char* name = fileName.c_str();
  const uint32_t capacity = ImageCapacity(nameId);
  if (capacity != 0 && size > capacity) {
    return Format("The firmware image %.300s holds %u bytes, more than a %s can hold (%u bytes).", name,
                  static_cast<unsigned>(size), DeviceKindName(nameId).c_str(), static_cast<unsigned>(capacity));
  }
  // Only images that carry the header say what they are; the maker's own
  // images are opaque and are judged by their name and size alone.
  if (size < images::kHeaderSize || std::memcmp(data, images::kMagic, sizeof images::kMagic) != 0) return {};
  const uint8_t contentId = data[8];
  if (contentId != nameId) {
    return Format("The firmware image %.300s is named for a %s, but its contents are for a %s.", name,
                  DeviceKindName(nameId).c_str(), DeviceKindName(contentId).c_str());
  }
  const uint32_t announced = LittleEndian32(data + 12);
  if (announced != size) {
    return Format("The firmware image %.300s announces %u bytes but holds %u: it is damaged or cut short.", name,
                  static_cast<unsigned>(announced), static_cast<unsigned>(size));
  }
  return {};
}
