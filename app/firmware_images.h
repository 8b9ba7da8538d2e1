#pragma once
// Firmware image sources: the built-in images (SZDD resources) and external
// files named by "FILE=" or dropped on the window. Holds the image that
// Update would program and, during an update, the loaded image.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/non_copyable.h"
#include "platform/ui/ui_host.h"

class COrvellaMixerInterface;

class CFirmwareImages : platform::NonCopyable {
 public:
  CFirmwareImages();
  // Frees the loaded image and removes the run's private temporary folder.
  ~CFirmwareImages();

  // Product id (0xFF none) and version number (0xFFFF none) from a file name.
  // An unknown tag shows its message (owned by `parent`) and returns false.
  bool ParseFirmwareFileName(const char* name, platform::ui::DialogWindow* parent, uint8_t* productId,
                             uint16_t* version);
  // Refills m_ImageTable with the names of the built-in images.
  void EnumerateEmbeddedImages();
  // Chooses the first table entry for `productId`; false (reference empty,
  // ids 0xFF/0xFFFF) when none fits.
  bool FindEmbeddedImage(uint8_t productId);
  // Takes an external file as the new image; writes fields 1006 and 1007.
  void SelectNewFirmware(const char* path, platform::ui::DialogWindow* window);
  void OnDropFiles(const std::vector<std::string>& paths, platform::ui::DialogWindow* window);
  bool ExtractEmbeddedImage(const char* name, platform::ui::DialogWindow* parent, const uint8_t** bytes,
                            uint32_t* size);
  // Expands a built-in image into the run's private temporary folder and
  // returns the expanded file's path.
  bool ExpandEmbeddedImage(const uint8_t* bytes, uint32_t size, const char* name, platform::ui::DialogWindow* parent,
                           char expandedPath[260]);
  // Loads the selected image into m_pImage (size + 1024 zero bytes).
  bool LoadFirmwareImage(platform::ui::DialogWindow* parent);
  void FreeImage();

  // True when the built-in images are the generated stand-ins (the default
  // build), false when the build embedded the maker's images.
  static bool BuiltInImagesAreStandIns();

  // The private temporary folder of this run (ending in '/'), empty until
  // the first expansion made it.
  const std::string& RunFolder() const { return m_szRunFolder; }

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

 private:
  // The file starts with the SZDD signature.
  static bool IsSzddFile(const char* path);
  // Expands the compressed external file at `path` into the run's folder
  // and puts the expanded copy's path there; false after its message.
  bool ExpandExternalImage(platform::ui::DialogWindow* parent, char path[260]);
  // Makes the private temporary folder on first use; false when it cannot
  // (the Files service's LastError says why).
  bool MakeRunFolder();

  std::string m_szRunFolder;
};

// Release date of a firmware by major version: a unit (96, not tableOnly)
// reports its own date word; otherwise the product's table. Leaves *out
// untouched when none is known.
void LookupFirmwareDate(uint8_t major, int64_t* out, uint8_t productId, bool tableOnly, COrvellaMixerInterface* remote);

// The unit's firmware date word (day bits 0-4, month bits 8-11, year 2000 +
// 16 x bits 5-7 + bits 12-15) as local midnight; false, *out untouched,
// when the word holds no valid month or day.
bool FirmwareDateFromWord(uint16_t word, int64_t* out);

// Local midnight of a calendar date, in seconds since 1970; false when the
// month or day cannot be a date.
bool LocalMidnight(int year, int month, int day, int64_t* out);

// "%b %d, %Y" of a time value in local time.
std::string FormatDate(int64_t when);
