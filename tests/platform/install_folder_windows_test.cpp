// The descriptor the Windows program folder is made with, read back as Windows reads it.
// Under Wine the folder itself does not keep it (Wine derives a DACL from the Unix mode), so
// the descriptor is checked here and the folder's making in install_folder_test.cpp.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the security headers build on its types.
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/install_folder.h"
#include "platform/wide_text.h"

namespace {

using namespace tarvo::platform;

std::vector<BYTE> WellKnown(WELL_KNOWN_SID_TYPE type) {
  std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  EXPECT_TRUE(::CreateWellKnownSid(type, nullptr, sid.data(), &size));
  return sid;
}

TEST(InstallFolderSddl, OnlyOwnersMayChange) {
  HANDLE token = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> tokenUser(size);
  ASSERT_TRUE(::GetTokenInformation(token, TokenUser, tokenUser.data(), size, &size));
  ::CloseHandle(token);
  PSID user = reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
  LPWSTR userText = nullptr;
  ASSERT_TRUE(::ConvertSidToStringSidW(user, &userText));
  const std::string sddl = InstallFolderSddl(Narrow(userText));
  ::LocalFree(userText);

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(Widen(sddl).c_str(), SDDL_REVISION_1, &descriptor,
                                                                      nullptr))
      << sddl;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the drive root's entries must not reach the folder";
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);

  // What each account may do; FILE_ALL_ACCESS is what "FA" reads as.
  const ACCESS_MASK writing = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                              FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
  struct TGrant {
    const char* Account;
    std::vector<BYTE> Sid;
    ACCESS_MASK Mask;  // 0: must have no entry that writes
  };
  const auto* userBytes = static_cast<const BYTE*>(user);
  const std::vector<BYTE> userSid(userBytes, userBytes + ::GetLengthSid(user));
  const TGrant grants[] = {
      {"SYSTEM", WellKnown(WinLocalSystemSid), FILE_ALL_ACCESS},
      {"Administrators", WellKnown(WinBuiltinAdministratorsSid), FILE_ALL_ACCESS},
      {"the installing user", userSid, kModifyAccess},
      {"Users", WellKnown(WinBuiltinUsersSid), kReadExecuteAccess},
      {"Authenticated Users", WellKnown(WinAuthenticatedUserSid), 0},
      {"Everyone", WellKnown(WinWorldSid), 0},
  };
  EXPECT_EQ(dacl->AceCount, 4u);
  for (const TGrant& g : grants) {
    int found = 0;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
      void* entry = nullptr;
      ASSERT_TRUE(::GetAce(dacl, i, &entry));
      const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
      ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
      if (!::EqualSid(const_cast<DWORD*>(&ace->SidStart), const_cast<BYTE*>(g.Sid.data()))) continue;
      ++found;
      EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
                OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)
          << g.Account << ": files and subfolders (DATA) inherit it";
      EXPECT_EQ(ace->Header.AceFlags & INHERIT_ONLY_ACE, 0) << g.Account;
      if (g.Mask == 0) {
        EXPECT_EQ(ace->Mask & writing, 0u) << g.Account;
      } else {
        EXPECT_EQ(ace->Mask, g.Mask) << g.Account;
      }
    }
    EXPECT_EQ(found, g.Mask == 0 ? 0 : 1) << g.Account;
  }
  // Modify: the user changes files but not the rights, nor takes the folder over.
  EXPECT_EQ(kModifyAccess, FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE);
  EXPECT_EQ(kModifyAccess & (WRITE_DAC | WRITE_OWNER), 0u);
  EXPECT_EQ(kReadExecuteAccess, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE);
  ::LocalFree(descriptor);
}

}  // namespace
