// Where an entry may be written, and making the folders for it. Paths use the system's
// delimiter ("/" on Linux, "\" on Windows).
//
// Stored names are split on "/" and "\" alike (archives made on Windows use either).
// With the file name alone, only the last component is used, without a drive prefix
// ("C:x" gives "x"). With the stored path kept,
// every component must stay below the base directory: an absolute name (leading
// separator, a drive such as "C:", a UNC "\\server"), any ".." component, an empty, "."
// or ".." last component, or a NUL anywhere raises EVmUnsafePath, never a path outside
// the base directory. The part joined below the base directory is checked once more
// before it is returned: every component a real name (none empty, "." or "..").
//
// On Windows every component must also be a name that means a file there and nothing
// else (IsPlainWindowsName): no device, no alternate data stream, no name the system
// would change.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::unzip {

// The base-directory rule: a trailing delimiter is removed unless the path is a root ("/",
// or on Windows one ending in ":\", "C:\"); a non-empty result must be an existing folder
// (EVmNoSuchDirectory); an empty value is accepted.
std::string NormalizeBaseDirectory(const std::string& directory);

// The output path of an entry below baseDirectory (see above). directory items lose their
// trailing delimiter first.
std::string BuildEntryPath(const std::string& baseDirectory, const std::string& storedName, bool isDirectory,
                           bool restorePath);

// An explicit output name: an absolute path is used unchanged, any other is put after the
// base directory. Absolute: a leading "/" (Linux); two backslashes in a row or a colon
// anywhere (Windows).
std::string ClassifyPath(const std::string& baseDirectory, const std::string& path);

// The folder part of a path ("" when it has none) and the part after it, as views into
// path.
std::string_view ExtractFileDir(std::string_view path);
std::string_view ExtractFileName(std::string_view path);

// Creates a folder with every missing level; a failing creation raises EInOutError with
// the system's error code. A Windows drive root and the server and share of a UNC path
// are never created.
void CreateFolderPath(const std::string& folder);

bool DirectoryExists(const std::string& path);

// True for a component that Windows takes as a plain file or folder name: none of the
// device names CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 (also with superscript digits),
// CONIN$ and CONOUT$, in any case and with any extension; no ":" (a drive or an alternate
// data stream), none of < > " | ? * and no control character; no trailing dot or space
// (which Windows drops, so "a." would write "a"). Used by the Windows build; Linux
// accepts such names, which are plain names there.
bool IsPlainWindowsName(std::string_view component) noexcept;

// Raises EVmUnsafePath for a component of a stored name this system cannot write as
// what it says (Windows: !IsPlainWindowsName; Linux: none beyond the rules above).
void CheckNativeComponent(std::string_view component);

}  // namespace tarvo::unzip
