// The program folder (TARVO at a drive's root) made so that only its owners can change it.
//
// A drive's root lets every user create and modify what lies below it; a TARVO folder that
// inherited that would let any user of the PC replace TARVO.EXE or put a DLL beside it.
// So the folder gets its own rights, which everything below it (DATA included) inherits:
//   Windows  a protected DACL (nothing inherited from the drive): SYSTEM and Administrators
//            full control, the installing user modify, Users read and execute;
//   Linux    mode 0755 for a new folder whatever the umask, an existing one of ours loses
//            its group and other write bits.
// An existing TARVO is used only when it is a real folder (never a link or junction, which
// is not followed) owned by the installing user (or by Administrators, Windows); otherwise
// it is refused and left exactly as it is.
#pragma once

#include <charconv>
#include <string>

namespace tarvo::platform {

enum class TInstallFolderState {
  ifReady,         // the folder is there with the rights above
  ifNotCreated,    // it could not be made (Error): the caller may go on and let the first
                   // file that cannot be created report it
  ifNotAFolder,    // a file has the name
  ifLink,          // a symbolic link, junction or other reparse point has the name
  ifForeignOwner,  // another user owns it (Owner)
  ifNotSecured,    // it is there but its rights could not be read or set (Error)
};

struct TInstallFolderResult {
  TInstallFolderState State = TInstallFolderState::ifReady;
  int Error = 0;      // ifNotCreated, ifNotSecured: the system's reason as an errno value
  std::string Owner;  // ifForeignOwner: the owner's account name (its number or SID when
                      // it has no name)
};

// Makes folder (a trailing separator is allowed; missing parents are made with the usual
// rights) or secures the existing one, as described above. Never throws: everything but
// ifReady and ifNotCreated means the installation must not go on.
TInstallFolderResult PrepareInstallFolder(const std::string& folder);

// Windows access masks of the two limited grants (winnt.h):
//   modify           FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE
//   read and execute FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
inline constexpr unsigned long kModifyAccess = 0x1301bf;
inline constexpr unsigned long kReadExecuteAccess = 0x1200a9;

// The descriptor the Windows folder is created with, in SDDL, for the installing user's SID
// ("S-1-5-21-..."): "P" protects the DACL from the drive root's entries, "OICI" hands each
// entry down to files and subfolders.
inline std::string InstallFolderSddl(const std::string& userSid) {
  auto hex = [](unsigned long mask) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, mask, 16).ptr;
    return "0x" + std::string(digits, end);
  };
  return "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;" + hex(kModifyAccess) + ";;;" + userSid + ")(A;OICI;" +
         hex(kReadExecuteAccess) + ";;;BU)";
}

}  // namespace tarvo::platform
