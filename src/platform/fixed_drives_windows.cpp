// The fixed disks of Windows: the logical drives whose type is fixed, each with its volume
// label and the name the shell shows for it ("Local Disk (C:)").
#include <string>

#include "platform/fixed_drives.h"
// Windows headers last: their macros would rewrite our names.
#include "platform/wide_text.h"
#include <shellapi.h>

namespace tarvo::platform {

std::vector<TDriveInfo> SystemFixedDrives() {
  std::vector<TDriveInfo> drives;
  wchar_t buffer[27 * 4 + 1] = {};  // "A:\" NUL for each letter, and the closing NUL
  const DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer) - 1), buffer);
  if (n == 0 || n >= std::size(buffer)) return drives;
  for (const wchar_t* root = buffer; *root; root += wcslen(root) + 1) {
    const wchar_t letter = static_cast<wchar_t>(towupper(root[0]));
    if (letter < L'C' || letter > L'Z' || GetDriveTypeW(root) != DRIVE_FIXED) continue;
    TDriveInfo d{static_cast<char>(letter), Narrow(root), {}, {}};
    wchar_t label[MAX_PATH + 1] = {};
    if (GetVolumeInformationW(root, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) d.Label = Narrow(label);
    SHFILEINFOW info{};
    if (SHGetFileInfoW(root, 0, &info, sizeof(info), SHGFI_DISPLAYNAME)) d.ShellName = Narrow(info.szDisplayName);
    drives.push_back(std::move(d));
  }
  return drives;
}

}  // namespace tarvo::platform
