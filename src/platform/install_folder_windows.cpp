#include "platform/install_folder.h"

#include <windows.h>
// windows.h first: the security headers build on its types.
#include <aclapi.h>
#include <sddl.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/scope_guard.h"
#include "core/win_error.h"
#include "platform/wide_text.h"

namespace tarvo::platform {

namespace {

int LastErrno() { return core::ErrnoFromWindowsError(::GetLastError()); }

TInstallFolderResult Failed(TInstallFolderState state, int error) { return {state, error, {}}; }

// The installing user: the user SID of the process token (the same when elevated).
bool InstallingUser(std::vector<BYTE>& buffer) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  core::TScopeGuard closing([token] { ::CloseHandle(token); });
  DWORD size = 0;
  ::GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  buffer.resize(size);
  return ::GetTokenInformation(token, ::TokenUser, buffer.data(), size, &size) != 0;
}

std::string SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return {};
  std::string out = Narrow(text);
  ::LocalFree(text);
  return out;
}

// "DOMAIN\name", or the SID itself for an account Windows cannot name.
std::string AccountName(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  if (!::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return SidText(sid);
  return domainSize > 0 ? Narrow(domain) + "\\" + Narrow(name) : Narrow(name);
}

// Opens the name itself, never what a link or junction points to; WRITE_DAC when wanted.
HANDLE OpenFolder(const std::wstring& path, bool writeDac) {
  return ::CreateFileW(path.c_str(), READ_CONTROL | (writeDac ? WRITE_DAC : 0),
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// A real folder owned by the user or by Administrators: ifReady.
TInstallFolderResult Examine(HANDLE folder, PSID user) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(folder, &info)) return Failed(TInstallFolderState::ifNotSecured, LastErrno());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Failed(TInstallFolderState::ifLink, 0);
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return Failed(TInstallFolderState::ifNotAFolder, 0);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = ::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                        nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return Failed(TInstallFolderState::ifNotSecured, core::ErrnoFromWindowsError(error));
  core::TScopeGuard freeing([descriptor] { ::LocalFree(descriptor); });
  if (owner == nullptr) return Failed(TInstallFolderState::ifNotSecured, EACCES);
  if (::EqualSid(owner, user) || ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) return {};
  return {TInstallFolderState::ifForeignOwner, 0, AccountName(owner)};
}

}  // namespace

TInstallFolderResult PrepareInstallFolder(const std::string& folder) {
  std::wstring path = Widen(folder);
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  std::vector<BYTE> tokenUser;
  if (!InstallingUser(tokenUser)) return Failed(TInstallFolderState::ifNotCreated, LastErrno());
  PSID user = reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
  const std::string sid = SidText(user);
  if (sid.empty()) return Failed(TInstallFolderState::ifNotCreated, LastErrno());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(Widen(InstallFolderSddl(sid)).c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return Failed(TInstallFolderState::ifNotCreated, LastErrno());
  core::TScopeGuard freeing([descriptor] { ::LocalFree(descriptor); });

  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!parent.empty() && !std::filesystem::exists(parent, ec)) {
    std::filesystem::create_directories(parent, ec);
    if (ec) {
      const bool isErrno = ec.category() == std::generic_category();
      const auto code = static_cast<unsigned long>(ec.value());
      return Failed(TInstallFolderState::ifNotCreated, isErrno ? ec.value() : core::ErrnoFromWindowsError(code));
    }
  }
  // Created with its rights in one step: there is no moment at which the drive root's
  // entries apply to it.
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  if (!::CreateDirectoryW(path.c_str(), &attributes) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    return Failed(TInstallFolderState::ifNotCreated, LastErrno());

  // The checks and the new DACL go through one handle, so the name cannot be swapped
  // between them. A folder we may not change the DACL of is opened again only to say why.
  HANDLE handle = OpenFolder(path, true);
  if (handle == INVALID_HANDLE_VALUE) {
    const int why = LastErrno();
    HANDLE reading = OpenFolder(path, false);
    if (reading == INVALID_HANDLE_VALUE) return Failed(TInstallFolderState::ifNotSecured, why);
    TInstallFolderResult seen = Examine(reading, user);
    ::CloseHandle(reading);
    return seen.State != TInstallFolderState::ifReady ? seen : Failed(TInstallFolderState::ifNotSecured, why);
  }
  core::TScopeGuard closing([handle] { ::CloseHandle(handle); });
  if (TInstallFolderResult seen = Examine(handle, user); seen.State != TInstallFolderState::ifReady) return seen;
  // Also for a folder just made: one path for both, and an older TARVO's files get the
  // inherited entries in place of the drive root's.
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present)
    return Failed(TInstallFolderState::ifNotSecured, LastErrno());
  const DWORD error = ::SetSecurityInfo(handle, SE_FILE_OBJECT,
                                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, dacl, nullptr);
  if (error != ERROR_SUCCESS) return Failed(TInstallFolderState::ifNotSecured, core::ErrnoFromWindowsError(error));
  return {};
}

}  // namespace tarvo::platform
