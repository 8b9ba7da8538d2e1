#include <windows.h>

#include "platform/core/dynamic_library.h"
#include "platform/core/real_backend.h"
#include "platform/core/wide_text_win32.h"

namespace platform {
namespace {

// LoadLibraryW/GetProcAddress. A ".dll" name is the system's own, so it is
// loaded as given.
class Win32DynamicLibraries final : public DynamicLibraries {
 public:
  LibraryHandle Load(const std::string& name) override {
    // A missing library is an answer, not a dialog box.
    const UINT saved = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(win32::Wide(name).c_str());
    const DWORD code = GetLastError();
    SetErrorMode(saved);
    if (module == nullptr) lastError_ = name + ": " + win32::ErrorText(code);
    return reinterpret_cast<LibraryHandle>(module);
  }

  void* Symbol(LibraryHandle library, const char* symbol) override {
    if (library == nullptr) {
      lastError_ = "no library loaded";
      return nullptr;
    }
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), symbol);
    if (address == nullptr) lastError_ = std::string(symbol) + ": " + win32::ErrorText(GetLastError());
    return reinterpret_cast<void*>(address);
  }

  void Unload(LibraryHandle library) override {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
  }

  std::string LastError() override { return lastError_; }

 private:
  std::string lastError_;
};

}  // namespace

PLATFORM_REAL_BACKEND(DynamicLibraries, Win32DynamicLibraries)

std::string SharedLibraryName(const std::string& name) { return name; }

std::string SharedLibraryFile(const std::string& base) { return base + ".dll"; }

}  // namespace platform
