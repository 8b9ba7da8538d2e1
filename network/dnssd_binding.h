#pragma once
// The DNS-SD client library, loaded at run time, and its process-wide table
// of functions. Our own client library (network/dnssd) is used unless the
// environment variable REFLASH_DNSSD_LIBRARY names another library with the
// same API.
#include <string>

#include "network/dnssd/dns_sd.h"

struct DnsSdBinding {
  decltype(&DNSServiceBrowse) Browse = nullptr;
  decltype(&DNSServiceConstructFullName) ConstructFullName = nullptr;
  decltype(&DNSServiceCreateConnection) CreateConnection = nullptr;
  decltype(&DNSServiceProcessResult) ProcessResult = nullptr;
  decltype(&DNSServiceQueryRecord) QueryRecord = nullptr;
  decltype(&DNSServiceReconfirmRecord) ReconfirmRecord = nullptr;
  decltype(&DNSServiceRefDeallocate) RefDeallocate = nullptr;
  decltype(&DNSServiceRefSockFD) RefSockFD = nullptr;
  decltype(&DNSServiceResolve) Resolve = nullptr;
  decltype(&TXTRecordContainsKey) TXTContainsKey = nullptr;
  decltype(&TXTRecordGetValuePtr) TXTGetValuePtr = nullptr;
};

// The base name of our own client library, looked for beside the program:
// reflash_dnssd.so on Linux, reflash_dnssd.dll on Windows.
inline constexpr const char* kOwnDnsSdLibrary = "reflash_dnssd";

// Loads the library and resolves its eleven functions. False, without a
// message, when the library cannot be loaded; false after the message box
// "GetProcAddress failed" (captioned with the function's name) when one is
// missing. Loading again while loaded is a no-op that returns true.
bool LoadDnsSdBinding();
// Frees the library if loaded; the table is empty afterwards.
void UnloadDnsSdBinding();
// The table; every member is null while nothing is loaded.
const DnsSdBinding& DnsSd();
// The library LoadDnsSdBinding would load.
std::string DnsSdLibraryPath();
