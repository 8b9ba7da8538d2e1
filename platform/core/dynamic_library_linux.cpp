#include "platform/core/dynamic_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

#include "platform/core/real_backend.h"

namespace platform {

PLATFORM_REAL_BACKEND(DynamicLibraries, DlDynamicLibraries)

std::string SharedLibraryName(const std::string& name) {
  std::string mapped = name;
  std::replace(mapped.begin(), mapped.end(), '\\', '/');
  if (mapped.size() >= 2 && mapped[1] == ':' && std::isalpha(static_cast<unsigned char>(mapped[0]))) {
    mapped.erase(0, 2);
  }
  constexpr size_t kExt = 4;  // ".dll"
  if (mapped.size() > kExt) {
    std::string ext = mapped.substr(mapped.size() - kExt);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".dll") {
      mapped.replace(mapped.size() - kExt, kExt, ".so");
    }
  }
  return mapped;
}

std::string SharedLibraryFile(const std::string& base) { return base + ".so"; }

LibraryHandle DlDynamicLibraries::Load(const std::string& name) {
  std::string path = SharedLibraryName(name);
  dlerror();
  LibraryHandle handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    lastError_ = why ? why : ("cannot load " + path);
  }
  return handle;
}

void* DlDynamicLibraries::Symbol(LibraryHandle library, const char* symbol) {
  if (library == nullptr) {
    lastError_ = "no library loaded";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(library, symbol);
  if (address == nullptr) {
    const char* why = dlerror();
    lastError_ = why ? why : (std::string(symbol) + " is null");
  }
  return address;
}

void DlDynamicLibraries::Unload(LibraryHandle library) {
  if (library != nullptr) {
    dlclose(library);
  }
}

std::string DlDynamicLibraries::LastError() { return lastError_; }

}  // namespace platform
