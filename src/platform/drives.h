// Drive properties the archive reader asks about.
#pragma once

#include <string>

namespace tarvo::platform {

// The separator of folder names in the paths this system's users see and its APIs store
// (SETUP.INI holds "C:\TARVO\DATA\" on Windows).
// kPathDelimiters: every character that ends a folder name in a path (Windows takes "/"
// as well).
#if defined(_WIN32)
inline constexpr char kPathDelimiter = '\\';
inline constexpr const char* kPathDelimiters = "\\/";
#else
inline constexpr char kPathDelimiter = '/';
inline constexpr const char* kPathDelimiters = "/";
#endif

// True when the file lies on removable media (a floppy of a spanned disk set). The Linux
// build treats every file as being on a fixed drive: split sets are read image by image
// from the archive's own folder, never by asking for a disk change.
bool IsRemovableDrive(const std::string& path) noexcept;

// The folder of the running program, without a trailing separator.
std::string ProgramFolder();

}  // namespace tarvo::platform
