// The folders extracted files are written into, held open while they are written.
//
// A folder below the base directory is reached one component at a time from the base
// directory, never following a symbolic link (or, on Windows, any reparse point: link,
// junction, mount point): a link planted anywhere on the way (before or during
// extraction) makes the entry fail with EVmUnsafePath instead of sending its file
// elsewhere. Missing levels are created on the way when asked. A folder outside the base
// directory (an explicit output name) is opened by its name as given.
//
// Linux opens each level relative to the descriptor of the one above. Windows has no such
// call in its file API, so every level from the base directory down is kept open without
// delete sharing while its folder is in use: nobody can rename, remove or replace a
// checked level by a link until the object lets it go, and a name below it resolves
// through exactly the folders that were checked.
//
// The last folder opened stays open, so the many entries of one folder cost no lookup.
// It is valid until the next Open or Reset; the object closes what it opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::unzip {

// An open output folder.
struct TVmFolder {
  std::intptr_t Handle = -1;  // a descriptor (Linux) or a HANDLE (Windows)
  std::string Path;           // the folder as named ("" is the current folder)
};

class TVmOutputFolders {
public:
  TVmOutputFolders() = default;
  ~TVmOutputFolders();
  TVmOutputFolders(const TVmOutputFolders&) = delete;
  TVmOutputFolders& operator=(const TVmOutputFolders&) = delete;

  // Forgets every open folder; the next Open starts from baseDirectory ("" means the
  // current folder).
  void Reset(const std::string& baseDirectory);

  // Folder ("" is the current folder), opened. A missing folder is created with every
  // missing level when create is set, else raises EVmNoSuchDirectory. A link or a
  // non-folder on the way raises EVmUnsafePath; a failing creation raises EInOutError.
  const TVmFolder& Open(std::string_view folder, bool create);

  // True when something that is not a folder is at name in folder (a link counts, and is
  // not followed).
  static bool HoldsNonFolder(const TVmFolder& folder, std::string_view name) noexcept;

  // Gives an extracted folder its time (seconds since the epoch; -1 leaves it) and, where
  // the system has them, its attributes. Failures are ignored: the entries matter more.
  static void FinishFolder(const TVmFolder& folder, std::int64_t modificationTime,
                           std::uint32_t attributes) noexcept;

  // The bytes this user may still write on the folder's file system (all ones when the
  // system cannot tell).
  static std::uint64_t FreeSpace(const TVmFolder& folder) noexcept;

private:
  std::intptr_t OpenBase();
  void CloseAll() noexcept;

  std::string FBase;
  std::intptr_t FBaseHandle = -1;
  // The levels held open below the base directory, the last folder's own handle last
  // (Linux holds the last folder only).
  std::vector<std::intptr_t> FHeld;
  TVmFolder FLast;
  bool FHaveLast = false;
};

}  // namespace tarvo::unzip
