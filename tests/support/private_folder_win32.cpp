#include <windows.h>
#include <aclapi.h>

#include <vector>

#include "tests/support/private_folder.h"

namespace test_support {
namespace {

std::vector<uint8_t> CurrentUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<uint8_t> user(size);
  if (!size || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
  CloseHandle(token);
  return user;
}

}  // namespace

bool OnlyTheUserMayEnter(const std::string& folder) {
  const std::vector<uint8_t> user = CurrentUser();
  if (user.empty()) return false;
  PSID self = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;

  std::wstring wide(folder.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, folder.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  if (n <= 0) return false;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  // Every entry allows this user or the system itself, and nobody else
  // (no Administrators, no Users, nothing inherited from a shared parent).
  // Wine keeps its own default list of the user and SYSTEM whatever the
  // program asked for, so only real Windows shows the program's own list.
  PSID system = nullptr;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  bool only = dacl != nullptr && dacl->AceCount > 0 &&
              AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
  for (DWORD i = 0; only && i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    only = GetAce(dacl, i, &entry) && static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE;
    if (only) {
      PSID who = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
      only = EqualSid(who, self) || EqualSid(who, system);
    }
  }
  if (system) FreeSid(system);
  LocalFree(descriptor);
  return only;
}

}  // namespace test_support
