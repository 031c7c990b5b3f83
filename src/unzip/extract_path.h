// Where an entry may be written on this Linux build, and making the folders for it.
//
// Stored names are split on "/" and "\" alike (archives made on Windows use either).
// With the file name alone, only the last component is used, without a drive prefix
// ("C:x" gives "x"). With the stored path kept,
// every component must stay below the base directory: an absolute name (leading
// separator, a drive such as "C:", a UNC "\\server"), any ".." component, an empty, "."
// or ".." last component, or a NUL anywhere raises EVmUnsafePath, never a path outside
// the base directory. The part joined below the base directory is checked once more
// before it is returned: every component a real name (none empty, "." or "..").
#pragma once

#include <string>
#include <string_view>

namespace tarvo::unzip {

// The base-directory rule: a trailing "/" is removed unless the path is "/"; a non-empty
// result must be an existing folder (EVmNoSuchDirectory); an empty value is accepted.
std::string NormalizeBaseDirectory(const std::string& directory);

// The output path of an entry below baseDirectory (see above). directory items lose their
// trailing delimiter first.
std::string BuildEntryPath(const std::string& baseDirectory, const std::string& storedName, bool isDirectory,
                           bool restorePath);

// An explicit output name: an absolute path is used unchanged, any other is put after the
// base directory.
std::string ClassifyPath(const std::string& baseDirectory, const std::string& path);

// The folder part of a path ("" when it has none) and the part after it, as views into
// path.
std::string_view ExtractFileDir(std::string_view path);
std::string_view ExtractFileName(std::string_view path);

// Creates a folder with every missing level; a failing creation raises EInOutError with
// the system's error code.
void CreateFolderPath(const std::string& folder);

bool DirectoryExists(const std::string& path);

}  // namespace tarvo::unzip
