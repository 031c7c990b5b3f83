// File attributes in the archive's vocabulary (the DOS/Windows attribute bits) and their
// effect on a Linux file. Read-only clears the write permission bits; for entries made on
// Unix the stored permission bits are applied instead, without setuid, setgid and sticky.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::platform {

enum : std::uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
};

// Applies attributes to an existing file or folder. unixMode < 0 means none is known: only
// faReadOnly then matters. A folder always keeps its owner's read, write and search
// permission, so that the entries that follow can still be written into it. Never follows
// a symbolic link. Returns false when the system refused.
bool SetFileAttributes(const std::string& path, std::uint32_t attributes, long unixMode) noexcept;

// True when the file exists and carries no owner write permission: the Linux form of the
// read-only attribute, which must stop an extraction from replacing the file.
bool IsReadOnlyFile(const std::string& path) noexcept;

}  // namespace tarvo::platform
