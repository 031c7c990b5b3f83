// Writing a settings file on Windows: the system's own private-profile writer, which keeps
// the other sections and keys and creates a new file in the ANSI code page.
#include <cerrno>
#include <string>

#include "platform/private_profile.h"
// Windows headers last: their macros would rewrite our names.
#include "platform/wide_text.h"
#undef WritePrivateProfileString  // the system's macro for its ...W function; ours is meant here

namespace tarvo::platform {

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& fileName) {
  const std::wstring file = Widen(fileName);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      errno = EISDIR;
      return false;
    }
    // Larger files are no settings file of ours; the system would read them whole.
    if (data.nFileSizeHigh != 0 || data.nFileSizeLow > kMaxProfileFileSize) {
      errno = EFBIG;
      return false;
    }
  }
  if (::WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(), file.c_str()))
    return true;
  const DWORD error = GetLastError();
  errno = error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
          : error == ERROR_ACCESS_DENIED                                  ? EACCES
                                                                          : EIO;
  return false;
}

}  // namespace tarvo::platform
