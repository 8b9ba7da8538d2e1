#pragma once
// Firmware image sources: the built-in images (SZDD resources) and external
// files named by "FILE=" or dropped on the window. Holds the image that
// Update would program and, during an update, the loaded image.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/ui_host.h"

class COrvellaMixerInterface;

class CFirmwareImages {
 public:
  CFirmwareImages();
  ~CFirmwareImages();

  // Product id (0xFF none) and version number (0xFFFF none) from a file name.
  // An unknown tag shows its message (owned by `parent`) and returns false.
  bool ParseFirmwareFileName(const char* name, platform::ui::DialogWindow* parent, uint8_t* productId,
                             uint16_t* version);
  void EnumerateEmbeddedImages();
  bool FindEmbeddedImage(uint8_t productId);
  // Takes an external file as the new image; writes fields 1006 and 1007.
  void SelectNewFirmware(const char* path, platform::ui::DialogWindow* window);
  void OnDropFiles(const std::vector<std::string>& paths, platform::ui::DialogWindow* window);
  bool ExtractEmbeddedImage(const char* name, platform::ui::DialogWindow* parent, const uint8_t** bytes,
                            uint32_t* size);
  bool ExpandEmbeddedImage(const uint8_t* bytes, uint32_t size, const char* name,
                           platform::ui::DialogWindow* parent, char expandedPath[260]);
  // Loads the selected image into m_pImage (size + 1024 zero bytes).
  bool LoadFirmwareImage(platform::ui::DialogWindow* parent);
  void FreeImage();

  char m_ImageTable[16][32] = {};
  int m_nImageTableCount = 0;
  char m_szImageName[260] = {};
  bool m_bExternalFile = false;
  uint8_t m_nImageDeviceId = 0xFF;
  uint16_t m_nImageMajor = 0xFFFF;
  uint8_t m_nImageMinor = 0;
  int64_t m_pImageDate = 0;  // seconds since 1970, shown in local time
  uint8_t* m_pImage = nullptr;
  uint32_t m_nImageSize = 0;
};

// Release date of a firmware by major version: a unit (96, not tableOnly)
// reports its own date word; otherwise the product's table. Leaves *out
// untouched when none is known.
void LookupFirmwareDate(uint8_t major, int64_t* out, uint8_t productId, bool tableOnly,
                        COrvellaMixerInterface* remote);

// "%b %d, %Y" of a time value in local time.
std::string FormatDate(int64_t when);
