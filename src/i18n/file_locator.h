// TFileLocator: finds catalogs either on disk or embedded at the end of the executable,
// and shares open catalogs between domains through a cache guarded by a reader/writer lock.
//
// Embedded block (appended to the executable):
//   begin marker | ... file data ... | entries | 8-byte first-entry position | end marker
// Positions are 64-bit little-endian and relative to H, the byte after the begin marker.
// An entry is: next entry (0 ends the chain), data position, data size, then the file's
// relative name in UTF-8 up to the next entry.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/text_case.h"
#include "i18n/mo_file.h"

namespace tarvo::i18n {

struct TEmbeddedFileInfo {
  std::uint64_t offset = 0;  // from the start of the executable
  std::uint64_t size = 0;
};

// The two markers around an embedded block (built at run time, so that the program's own
// constants never look like a block).
std::string EmbedBeginMarker();
std::string EmbedEndMarker();

// The bytes to append to a file so that it carries these (relative name, content) files.
std::string BuildEmbeddedBlock(const std::vector<std::pair<std::string, std::string>>& files);

class TFileLocator {
public:
  TFileLocator() = default;
  ~TFileLocator();
  TFileLocator(const TFileLocator&) = delete;
  TFileLocator& operator=(const TFileLocator&) = delete;

  // Takes the executable's folder as base directory and records the catalogs embedded in
  // it. Never throws: a damaged block leaves the list as far as it could be read.
  void Analyze(const std::string& executable);

  // With trailing slash.
  const std::string& BaseDirectory() const noexcept { return basedirectory; }
  // Embedded under this full name, or present on disk as a regular file.
  bool FileExists(const std::string& fileName) const;
  // A shared, loaded catalog; every call must be paired with ReleaseMoFile. Throws
  // EGettextIOError when the catalog cannot be loaded.
  TMoFile* GetMoFile(const std::string& fileName);
  void ReleaseMoFile(TMoFile* moFile);

  // Relative name (with '/' separators) -> position in the executable.
  const std::map<std::string, TEmbeddedFileInfo, core::TLessText>& EmbeddedFiles() const noexcept {
    return filelist;
  }

private:
  const TEmbeddedFileInfo* FindEmbedded(const std::string& fileName) const;

  std::string executable;
  std::string basedirectory;
  std::map<std::string, TEmbeddedFileInfo, core::TLessText> filelist;
  // File names are case-sensitive here, so the cache key is too.
  std::map<std::string, std::unique_ptr<TMoFile>> MoFiles;
  mutable std::shared_mutex MoFilesCS;
};

}  // namespace tarvo::i18n
