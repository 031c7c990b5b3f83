// Plain questions and changes about files by name, and a file's identity, on both systems.
// Names are UTF-8 (UTF-16 at the Windows API). Errors are errno values (the Windows
// errors mapped onto them), so a message reads the same on both systems.
#pragma once

#include <cstdint>
#include <string>

#include "core/file_stream.h"

namespace tarvo::platform {

// What a name is, without following a final symbolic link or other reparse point.
enum class TFileKind { fkNone, fkFile, fkDirectory, fkLink, fkOther };
TFileKind FileKindOf(const std::string& path) noexcept;

// True for an existing folder (a link to a folder counts: the caller named it).
bool DirectoryExists(const std::string& path) noexcept;
// True when something exists at the name (links followed).
bool PathExists(const std::string& path) noexcept;
// The size of an existing regular file (links followed), or -1 for anything else.
std::int64_t FileSizeOf(const std::string& path) noexcept;

// Whether two names that differ only in case name the same file (Windows), and the form
// of a name that is the same for all its spellings there (Linux: the name itself).
bool FileNamesIgnoreCase() noexcept;
std::string FoldFileNameCase(const std::string& path);

// Creates one folder; 0, or the errno value of the failure (EEXIST when something is there).
int CreateOneFolder(const std::string& path) noexcept;
// Removes a file (never a folder); false when the system refused.
bool RemoveFile(const std::string& path) noexcept;

// The identity of an open file: the same two numbers mean the same file, whatever names
// lead to it (Linux: device and inode; Windows: volume serial and file index).
struct TFileIdentity {
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
  bool Known = false;
  bool operator==(const TFileIdentity& other) const noexcept {
    return Known && other.Known && Volume == other.Volume && Index == other.Index;
  }
};
// Known only for a regular file.
TFileIdentity FileIdentityOf(core::TFileHandle handle) noexcept;
// The last modification of an open file in seconds since the epoch, -1 when unknown.
std::int64_t FileModificationTimeOf(core::TFileHandle handle) noexcept;

// Moves an existing file to a new name of its own beside it: fileName + "." + six
// characters + suffix, a name nothing else had. Raises core::EFOpenError naming fileName.
std::string MoveToUniqueName(const std::string& fileName, const std::string& suffix);

}  // namespace tarvo::platform
