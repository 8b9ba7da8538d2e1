#include "network/dnssd_binding.h"

#include <cstdlib>
#include <string>

#include "platform/core/dynamic_library.h"
#include "platform/core/private_library.h"
#include "platform/ui/ui_host.h"

namespace {

DnsSdBinding theBinding;
platform::LibraryHandle theLibrary = nullptr;

template <class Function>
bool Resolve(Function& slot, const char* name) {
  slot = reinterpret_cast<Function>(platform::Use<platform::DynamicLibraries>().Symbol(theLibrary, name));
  if (slot != nullptr) return true;
  platform::ui::ShowMessage("GetProcAddress failed", std::string(name), platform::ui::Buttons::Ok);
  return false;
}

}  // namespace

std::string DnsSdLibraryPath() {
  const char* chosen = std::getenv("REFLASH_DNSSD_LIBRARY");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  return platform::PrivateLibraryPath(platform::SharedLibraryFile(kOwnDnsSdLibrary));
}

bool LoadDnsSdBinding() {
  if (theLibrary != nullptr) return true;
  theLibrary = platform::Use<platform::DynamicLibraries>().Load(DnsSdLibraryPath());
  if (theLibrary == nullptr) return false;
  DnsSdBinding& b = theBinding;
  bool ok = Resolve(b.Browse, "DNSServiceBrowse") && Resolve(b.ConstructFullName, "DNSServiceConstructFullName") &&
            Resolve(b.CreateConnection, "DNSServiceCreateConnection") &&
            Resolve(b.ProcessResult, "DNSServiceProcessResult") && Resolve(b.QueryRecord, "DNSServiceQueryRecord") &&
            Resolve(b.ReconfirmRecord, "DNSServiceReconfirmRecord") &&
            Resolve(b.RefDeallocate, "DNSServiceRefDeallocate") && Resolve(b.RefSockFD, "DNSServiceRefSockFD") &&
            Resolve(b.Resolve, "DNSServiceResolve") && Resolve(b.TXTContainsKey, "TXTRecordContainsKey") &&
            Resolve(b.TXTGetValuePtr, "TXTRecordGetValuePtr");
  if (!ok) UnloadDnsSdBinding();
  return ok;
}

void UnloadDnsSdBinding() {
  if (theLibrary != nullptr) platform::Use<platform::DynamicLibraries>().Unload(theLibrary);
  theLibrary = nullptr;
  theBinding = DnsSdBinding{};
}

const DnsSdBinding& DnsSd() { return theBinding; }
