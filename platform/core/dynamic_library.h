#pragma once
// Libraries loaded at run time (the card driver's library, the DNS-SD
// client). Callers name them as the design does, "C:/dir/foo.dll"; the
// backend maps such a name to this platform's shared library (see
// SharedLibraryName).
#include <string>

#include "platform/core/service.h"

namespace platform {

// An opaque loaded library; null means none.
using LibraryHandle = void*;

class DynamicLibraries {
 public:
  virtual ~DynamicLibraries() = default;
  // Loads the library `name` (a ".dll" name is mapped first). Called when a
  // caller first needs the library. Returns null when it cannot be found or
  // loaded; LastError then says why.
  virtual LibraryHandle Load(const std::string& name) = 0;
  // The address of the exported function `symbol`, or null when `library`
  // is null or does not export it (LastError says why).
  virtual void* Symbol(LibraryHandle library, const char* symbol) = 0;
  // Releases a library from Load; null is ignored. Its symbols are invalid
  // afterwards.
  virtual void Unload(LibraryHandle library) = 0;
  // A readable description of the last failure of Load or Symbol.
  virtual std::string LastError() = 0;
};

// dlopen/dlsym/dlclose.
class DlDynamicLibraries final : public DynamicLibraries {
 public:
  LibraryHandle Load(const std::string& name) override;
  void* Symbol(LibraryHandle library, const char* symbol) override;
  void Unload(LibraryHandle library) override;
  std::string LastError() override;

 private:
  std::string lastError_;
};

// Maps a Windows library name to the shared-library name loaded here: the
// same directory and base name, a trailing ".dll" (any case) replaced by
// ".so", backslashes turned into slashes and a drive prefix "C:" dropped.
//   "C:\\Program Files\\Card\\card_api.dll" -> "/Program Files/Card/card_api.so"
//   "dante_dnssd.dll" -> "dante_dnssd.so" (found along the loader's search path)
// Other names pass unchanged apart from the slashes and the drive.
std::string SharedLibraryName(const std::string& name);

// The file name of a shared library this project builds, from its base
// name: "tusbaudioapi" -> "tusbaudioapi.so" here, "tusbaudioapi.dll" on
// Windows.
std::string SharedLibraryFile(const std::string& base);

}  // namespace platform
