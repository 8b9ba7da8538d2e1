// Firmware image sources: file names, the built-in image table, external
// files and the loading of the chosen image.
#include "app/firmware_images.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/log.h"
#include "platform/core/outside_text.h"
#include "app/resources/dialog_templates.h"
#include "app/resources/images/builtin_images.h"
#include "platform/files/digest.h"
#include "platform/files/files.h"
#include "platform/files/resources.h"
#include "platform/files/szdd.h"
#include "protocol/product_ids.h"

using platform::ui::Buttons;
using platform::ui::DialogWindow;
using platform::ui::Icon;

namespace {

constexpr int kIdNewFirmwareVersion = 1006;
constexpr int kIdNewFirmwareDate = 1007;
constexpr size_t kMaxPath = 259;      // characters of m_szImageName
constexpr size_t kMaxTableName = 31;  // characters of one m_ImageTable slot
constexpr uint32_t kImagePadding = 1024;
// No unit or card holds anything near this; a larger file is a mistake,
// and refusing it keeps the zero-padded buffer's size within 32 bits.
constexpr int64_t kMaxImageSize = 64 << 20;

void Message(DialogWindow* owner, const std::string& text, std::optional<std::string> caption, Icon icon) {
  platform::ui::MessageBoxRequest request{text, std::move(caption), Buttons::Ok, icon, 0};
  if (owner) {
    owner->MessageBox(request);
  } else {
    platform::ui::ShowMessage(request.text, request.caption, request.buttons, request.icon);
  }
}

template <class... Args>
std::string Format(const char* format, Args... args) {
  int n = std::snprintf(nullptr, 0, format, args...);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

// The file name without directory and extension (either separator counts,
// so a path written the Windows way still names its file).
std::string FileTitle(const char* path) {
  std::string name = path;
  size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

// The decimal number whose digits start at `pos`, kept to 16 bits.
uint16_t NumberAt(const char* name, size_t length, size_t pos) {
  uint16_t value = 0;
  for (; pos < length && std::isdigit(static_cast<unsigned char>(name[pos])); ++pos) {
    value = static_cast<uint16_t>(value * 10 + (name[pos] - '0'));
  }
  return value;
}

void ShowField(DialogWindow* window, int id, const std::string& text) {
  if (!window) return;
  // Hidden, written and shown again so that it repaints over the background.
  window->Show(id, false);
  window->SetText(id, text);
  window->Show(id, true);
}

}  // namespace

CFirmwareImages::CFirmwareImages() {
  static const bool registered = [] {
    size_t count = 0;
    const platform::ResourceEntry* table = BuiltInImageTable(&count);
    platform::RegisterResourceTable(table, count);
    return true;
  }();
  (void)registered;
}

bool CFirmwareImages::BuiltInImagesAreStandIns() { return BuiltInImagesAreGenerated(); }

CFirmwareImages::~CFirmwareImages() {
  FreeImage();
  if (!m_szRunFolder.empty()) platform::Use<platform::Files>().RemoveFolder(m_szRunFolder);
}

void CFirmwareImages::FreeImage() {
  delete[] m_pImage;
  m_pImage = nullptr;
}

bool CFirmwareImages::ParseFirmwareFileName(const char* name, DialogWindow* parent, uint8_t* productId,
                                            uint16_t* version) {
  *productId = 0xFF;
  *version = 0xFFFF;
  if (!name) name = "";
  const size_t length = std::strlen(name);
  char tag[5] = {};
  for (size_t i = 0; i < 4 && i < length; ++i)
    tag[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));

  struct Tag {
    const char* tag;
    uint8_t productId;
    size_t position;
  };
  static const Tag kTags[] = {
      {"ZMDI", kModuleZmDig, 5}, {"ZTMA", kCardZtMadi, 4}, {"ZTDN", kCardZiRerar, 5},
      {"ZTHD", kCardZtHd, 4},     {"ZTFW", kCardZtFw, 4},   {"NBT0", kProductOrvellaN, 3},
  };
  if (std::strcmp(tag, "ZTUS") == 0) {
    *version = static_cast<uint16_t>(100 * NumberAt(name, length, 5) + NumberAt(name, length, 7));
    *productId = kCardVeZer;
    return true;
  }
  for (const Tag& t : kTags) {
    if (std::strcmp(tag, t.tag) == 0) {
      *version = NumberAt(name, length, t.position);
      *productId = t.productId;
      return true;
    }
  }
  Message(parent, "Unable to determine DeviceID from File Name", resources::kMainCaption, Icon::None);
  return false;
}

void CFirmwareImages::EnumerateEmbeddedImages() {
  m_nImageTableCount = 0;
  platform::Resources& resources = platform::Use<platform::Resources>();
  const int slots = static_cast<int>(sizeof m_ImageTable / sizeof m_ImageTable[0]);
  for (size_t i = 0; i < resources.Count(); ++i) {
    const char* name = resources.At(i)->name;
    // A name that does not fit a slot, or a resource beyond the last slot,
    // is left out whole rather than cut into some other image's name.
    if (std::strlen(name) > kMaxTableName) {
      LogMessage("EnumerateEmbeddedImages: name too long, skipped: %s\n", name);
      continue;
    }
    if (m_nImageTableCount == slots) {
      LogMessage("EnumerateEmbeddedImages: table full, skipped: %s\n", name);
      continue;
    }
    std::strcpy(m_ImageTable[m_nImageTableCount++], name);
  }
}

bool CFirmwareImages::FindEmbeddedImage(uint8_t productId) {
  m_nImageDeviceId = 0xFF;
  m_nImageMajor = 0xFFFF;
  m_szImageName[0] = '\0';
  for (int i = 0; i < m_nImageTableCount; ++i) {
    uint8_t id;
    uint16_t version;
    if (!ParseFirmwareFileName(m_ImageTable[i], nullptr, &id, &version)) continue;
    // Version 5 of the VE-ZER card image is never offered.
    if (id != productId || (id == kCardVeZer && version == 5)) continue;
    std::strcpy(m_szImageName, m_ImageTable[i]);
    m_nImageDeviceId = id;
    m_nImageMajor = version;
    LogMessage("Selecting %s Firmware\n", m_szImageName);
    return true;
  }
  return false;
}

void CFirmwareImages::SelectNewFirmware(const char* path, DialogWindow* window) {
  if (!path) path = "";
  if (std::strlen(path) > kMaxPath) {
    // Cutting the path would name some other file; refuse it and keep the
    // image already shown.
    std::string text = Format("Unable to use file '%s': its path is longer than %zu characters!",
                              EscapeOutsideText(path).c_str(), kMaxPath);
    LogMessage("SelectNewFirmware: %.1000s\n", text.c_str());
    Message(window, text, resources::kMainCaption, Icon::None);
    return;
  }

  // What to fall back to when the file cannot be opened.
  char previousName[sizeof m_szImageName];
  std::memcpy(previousName, m_szImageName, sizeof previousName);
  const bool previousExternal = m_bExternalFile;
  const uint8_t previousId = m_nImageDeviceId;
  const uint16_t previousMajor = m_nImageMajor;
  const uint8_t previousMinor = m_nImageMinor;

  m_bExternalFile = true;
  std::strcpy(m_szImageName, path);

  uint16_t version;
  if (!ParseFirmwareFileName(FileTitle(path).c_str(), window, &m_nImageDeviceId, &version)) {
    m_nImageMajor = version;
    return;
  }
  m_nImageMajor = version;
  const std::string shown = EscapeOutsideText(path);
  LogMessage("SelectNewFirmware %s\n", shown.c_str());

  std::unique_ptr<platform::File> file = platform::Use<platform::Files>().OpenRead(path);
  if (!file) {
    std::string text =
        Format("Unable to open file '%s' specified on the command line!\n\nReverting to default firmware.\n",
               shown.c_str());
    LogMessage("%s", text.c_str());
    Message(window, text, resources::kMainCaption, Icon::None);
    // Put back the image shown before, so that Update programs what the
    // window shows rather than a resource named after the missing file.
    std::memcpy(m_szImageName, previousName, sizeof previousName);
    m_nImageDeviceId = previousId;
    m_nImageMajor = previousMajor;
    m_nImageMinor = previousMinor;
    m_bExternalFile = previousExternal;
    return;
  }
  const int64_t lastWrite = file->LastWriteTime();
  file.reset();

  m_nImageMajor = version / 100;
  m_nImageMinor = static_cast<uint8_t>(version % 100);
  m_pImageDate = lastWrite;
  ShowField(window, kIdNewFirmwareVersion, Format("%d.%d", m_nImageMajor, m_nImageMinor));
  ShowField(window, kIdNewFirmwareDate, FormatDate(lastWrite));
}

void CFirmwareImages::OnDropFiles(const std::vector<std::string>& paths, DialogWindow* window) {
  if (paths.empty()) return;
  const std::string& first = paths.front();
  LogMessage("OnDropFiles: %.1000s\n", EscapeOutsideText(first).c_str());
  SelectNewFirmware(first.c_str(), window);
}

bool CFirmwareImages::ExtractEmbeddedImage(const char* name, DialogWindow* parent, const uint8_t** bytes,
                                           uint32_t* size) {
  const platform::ResourceEntry* entry = platform::Use<platform::Resources>().Find(name);
  if (!entry) {
    Message(parent, "Cannot Find Resource", name ? name : "", Icon::Exclamation);
    return false;
  }
  if (!entry->data) {
    Message(parent, "Cannot Load Resource", resources::kMainCaption, Icon::Exclamation);
    return false;
  }
  *bytes = entry->data;
  *size = entry->size;
  return true;
}

bool CFirmwareImages::MakeRunFolder() {
  if (!m_szRunFolder.empty()) return true;
  platform::Files& files = platform::Use<platform::Files>();
  m_szRunFolder = files.MakePrivateFolder(files.TempFolder());
  return !m_szRunFolder.empty();
}

bool CFirmwareImages::ExpandEmbeddedImage(const uint8_t* bytes, uint32_t size, const char* name, DialogWindow* parent,
                                          char expandedPath[260]) {
  platform::Files& files = platform::Use<platform::Files>();
  std::string resourceName = name ? name : "";

  // The run's own folder inside the shared temporary folder: fixed names
  // there could be links planted by another user.
  const bool haveFolder = MakeRunFolder();
  uint32_t error = haveFolder ? 0 : files.LastError();
  std::string folder = haveFolder ? m_szRunFolder : files.TempFolder();
  std::string compressedPath = folder + resourceName;
  if (!resourceName.empty()) compressedPath.back() = '_';
  const std::string expanded = folder + resourceName;

  if (!haveFolder || resourceName.empty() || expanded.size() > kMaxPath) {
    if (haveFolder) error = ENAMETOOLONG;
    Message(parent, Format("Unable to create compressed file '%s'!", compressedPath.c_str()),
            Format("Create File Failure! [%08lx]", static_cast<unsigned long>(error)), Icon::Exclamation);
    return false;
  }

  std::unique_ptr<platform::File> out = files.Create(compressedPath);
  if (!out) {
    Message(parent, Format("Unable to create compressed file '%s'!", compressedPath.c_str()),
            Format("Create File Failure! [%08lx]", static_cast<unsigned long>(files.LastError())),
            Icon::Exclamation);
    return false;
  }
  // All of it or nothing: a cut-off copy would expand to a cut-off image.
  if (out->Write(bytes, size) != static_cast<int64_t>(size)) {
    Message(parent, Format("Unable to write compressed file '%s'!", compressedPath.c_str()),
            Format("Write File Failure! [%08lx]", static_cast<unsigned long>(out->LastError())), Icon::Exclamation);
    return false;
  }
  out.reset();

  platform::SzddExpander expander;
  long result = expander.OpenSource(compressedPath);
  if (result < 0) {
    files.Remove(compressedPath);  // the compressed copy is ours whatever became of it
    Message(parent, Format("Unable to open source file '%s'!", compressedPath.c_str()),
            Format("File Open Failure! [%ld]", result), Icon::Exclamation);
    return false;
  }
  result = expander.OpenDestination(expanded);
  if (result < 0) {
    expander.Close();
    files.Remove(compressedPath);
    Message(parent, Format("Unable to open destination file '%s'!", expanded.c_str()),
            Format("File Open Failure! [%ld]", result), Icon::Exclamation);
    return false;
  }
  result = expander.Copy();
  if (result >= 0) {
    // A built-in image must also come out exactly as the build made it.
    const platform::ResourceEntry* entry = platform::Use<platform::Resources>().Find(name);
    if (entry && entry->data == bytes && entry->expandedSize != 0 &&
        (static_cast<uint32_t>(result) != entry->expandedSize || expander.WrittenDigest() != entry->expandedDigest)) {
      result = platform::kSzddBadData;
    }
  }
  expander.Close();
  if (result < 0) {
    files.Remove(expanded);  // never leave a damaged image where it could be taken for good
    files.Remove(compressedPath);
    Message(parent, Format("Unable to expand file '%s'!", expanded.c_str()), Format("File Copy Failure! [%ld]", result),
            Icon::Exclamation);
    return false;
  }

  files.Remove(compressedPath);
  std::strcpy(expandedPath, expanded.c_str());
  return true;
}

bool CFirmwareImages::IsSzddFile(const char* path) {
  static const uint8_t kSignature[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
  std::unique_ptr<platform::File> file = platform::Use<platform::Files>().OpenRead(path);
  uint8_t head[sizeof kSignature] = {};
  return file && file->Read(head, sizeof head) == static_cast<int64_t>(sizeof head) &&
         std::memcmp(head, kSignature, sizeof head) == 0;
}

bool CFirmwareImages::ExpandExternalImage(DialogWindow* parent, char path[260]) {
  platform::Files& files = platform::Use<platform::Files>();
  std::string name = path;
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::string expanded = MakeRunFolder() ? m_szRunFolder + name : std::string();
  if (expanded.empty() || expanded.size() > kMaxPath) {
    const std::string shown = EscapeOutsideText(expanded.empty() ? name : expanded);
    Message(parent, Format("Unable to open destination file '%s'!", shown.c_str()),
            Format("File Open Failure! [%ld]", platform::kSzddBadDestination), Icon::Exclamation);
    return false;
  }
  platform::SzddExpander expander;
  long result = expander.OpenSource(path);
  if (result >= 0) result = expander.OpenDestination(expanded);
  if (result >= 0) result = expander.Copy();
  expander.Close();
  if (result < 0) {
    files.Remove(expanded);
    const std::string shown = EscapeOutsideText(path);
    Message(parent, Format("Unable to expand file '%s'!", shown.c_str()), Format("File Copy Failure! [%ld]", result),
            Icon::Exclamation);
    LogMessage("LoadFirmwareImage: %.300s cannot be expanded [%ld]\n", shown.c_str(), result);
    return false;
  }
  LogMessage("LoadFirmwareImage: %.300s is compressed, expanded to %ld bytes\n", EscapeOutsideText(path).c_str(),
             result);
  std::strcpy(path, expanded.c_str());
  return true;
}

bool CFirmwareImages::LoadFirmwareImage(DialogWindow* parent) {
  platform::Files& files = platform::Use<platform::Files>();
  char path[260] = {};
  // Only an expanded copy is ours to delete, never the user's file.
  bool expandedCopy = !m_bExternalFile;
  if (m_bExternalFile) {
    std::strcpy(path, m_szImageName);
    // The maker ships compressed files too; sent raw, the unit would be
    // programmed with the compressed bytes.
    if (IsSzddFile(path)) {
      if (!ExpandExternalImage(parent, path)) return false;
      expandedCopy = true;
    }
  } else {
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!ExtractEmbeddedImage(m_szImageName, parent, &bytes, &size)) return false;
    if (!ExpandEmbeddedImage(bytes, size, m_szImageName, parent, path)) return false;
  }
  auto dropTemporary = [&] {
    if (expandedCopy) files.Remove(path);
  };

  uint16_t version;
  if (!ParseFirmwareFileName(FileTitle(path).c_str(), parent, &m_nImageDeviceId, &version)) {
    dropTemporary();
    return false;
  }
  m_nImageMajor = version / 100;
  m_nImageMinor = static_cast<uint8_t>(version % 100);

  std::unique_ptr<platform::File> file = files.OpenRead(path);
  if (!file) {
    Message(parent, Format("Unable to open file '%s'!", EscapeOutsideText(path).c_str()),
            Format("CreateFile Failure! [%08lx]", static_cast<unsigned long>(files.LastError())), Icon::Exclamation);
    return false;
  }
  const int64_t size = file->Size();
  if (size <= 0) {
    file.reset();
    dropTemporary();
    Message(parent, "Unable to get Firmware file size!", std::nullopt, Icon::Exclamation);
    return false;
  }
  FreeImage();
  uint8_t* buffer = size > kMaxImageSize ? nullptr : new (std::nothrow) uint8_t[size + kImagePadding]();
  if (!buffer) {
    file.reset();
    dropTemporary();
    Message(parent, "Unable to allocate enough RAM to load the Firmware!", "Out of Memory", Icon::Exclamation);
    return false;
  }
  const int64_t got = file->Read(buffer, static_cast<size_t>(size));
  file.reset();
  if (got != size) {
    delete[] buffer;
    dropTemporary();
    Message(parent, "Unable to read Firmware into Memory!", resources::kMainCaption, Icon::Exclamation);
    return false;
  }
  dropTemporary();
  m_pImage = buffer;
  m_nImageSize = static_cast<uint32_t>(size);
  return true;
}
