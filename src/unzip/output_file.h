// One extracted file on its way to the disk: the output path every archive kind writes
// its entries through.
//
// The file is opened in a folder held open by TVmOutputFolders and never through a
// symbolic link (nor, on Windows, any other reparse point). A new name is created directly (exclusively, so nothing that
// appears at the name meanwhile is written into). An existing regular file is not touched
// while the entry is decoded: the content goes to a temporary name in the same folder and
// replaces the old file only on Commit, so a failed entry leaves the previous version
// intact. Whatever the object created and did not commit is removed when it goes; a
// failed entry never leaves a partial file.
//
// Refused before anything is written: a read-only existing file (EFCreateError, EACCES),
// a folder at the name (EFCreateError, EISDIR), a FIFO, device or socket at the name
// (EVmUnsafePath), and the file the archive itself is read from, by whatever name
// (EVmUnsafePath).
//
// Linux permissions: the creation mode is the usual 0666 less the umask; the read-only
// attribute takes the write bits away; of a Unix mode stored in the archive only the
// execute bits are kept (so no setuid, setgid, sticky bit, nor any write permission the
// umask would not give). Mode and the modification time are set on the open descriptor.
// Windows: the time is set on the open handle, the replacement takes the name through
// that handle, and the read-only, hidden, system and archive attributes follow once the
// file is complete.
//
// Writes go straight to the file (no buffering: decoders hand over large blocks); a
// failing write raises EInOutError with the system's error (disk full: ENOSPC).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/stream.h"
#include "platform/file_system.h"
#include "unzip/output_folders.h"

namespace tarvo::unzip {

// The identity of a file that must never be replaced (the archive being read).
using TVmFileIdentity = platform::TFileIdentity;

// The Linux creation mode of an extracted file (before the umask): see above. unixMode < 0
// means the archive holds no Unix mode.
unsigned OutputFileMode(std::uint32_t attributes, long unixMode) noexcept;

class TVmOutputFile final : public core::TStream {
public:
  // Opens name (one component) in folder for writing. displayPath is the full path, used
  // in messages. attributes and unixMode are the entry's (see above).
  TVmOutputFile(const TVmFolder& folder, std::string_view name, const std::string& displayPath,
                std::uint32_t attributes, long unixMode, const TVmFileIdentity& protectedFile);
  ~TVmOutputFile() override;
  TVmOutputFile(const TVmOutputFile&) = delete;
  TVmOutputFile& operator=(const TVmOutputFile&) = delete;

  // Raises EStreamError: the file is write-only.
  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  // Only reports the position: the file is written front to back.
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  // Moves count bytes on without writing them: they read as zeros, and where the file
  // system allows they take no space (a hole). Raises EInOutError like Write.
  void WriteHole(std::uint64_t count);

  // Sets the modification time (seconds since the epoch; -1 leaves it), closes the file
  // and moves it to its name (then, on Windows, sets the attributes; their failure is
  // ignored). Raises EInOutError when closing or renaming fails (then the
  // file is removed as on any failure).
  void Commit(std::int64_t modificationTime);
  // Removes what was written; the previous file (if any) stays. Never raises.
  void Discard() noexcept;

private:
  void MakeTemporaryName(unsigned n) noexcept;

  std::intptr_t FFolder;    // the folder's descriptor (Linux); -1 once committed or discarded
  std::intptr_t FHandle = -1;  // a descriptor or a Windows HANDLE
  std::string FName;       // the final name in the folder (Windows: the full path)
  char FTempName[48] = {};  // the name written to while an existing file waits ("" for none)
  std::uint64_t FWritten = 0;
  std::uint32_t FAttributes = 0;
  bool FEndsInHole = false;  // the size must be set: nothing was written after the last hole
};

}  // namespace tarvo::unzip
