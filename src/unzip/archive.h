// An opened archive: its stream, its item list and the archive-level extraction loop.
//
// TVmArchive is what every archive kind shares. It walks its items for a mask, decides
// each entry's output path (base directory, extract options, overwrite confirmation) and
// hands the entry to the extraction callback that its component installed; failures of a
// single entry go to the item-failure callback and the loop goes on. The kind's own
// ReadArchiveDirectory fills the item list.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/stream.h"
#include "unzip/archive_list.h"
#include "unzip/archive_types.h"
#include "unzip/output_file.h"
#include "unzip/output_folders.h"

namespace tarvo::unzip {

class TVmArchive {
public:
  // Opens the file itself (read-only, others may read and write) and owns the stream.
  TVmArchive(const std::string& fileName, std::uint32_t mode);
  // Reads from a stream the caller keeps owning.
  TVmArchive(core::TStream* stream, const std::string& archiveName);
  virtual ~TVmArchive();
  TVmArchive(const TVmArchive&) = delete;
  TVmArchive& operator=(const TVmArchive&) = delete;

  // Reads the directory; on success the status becomes asIdle. The load notification
  // follows in every case, then any exception passes on.
  void Load();
  // Writing archives is not part of this library: nothing is ever pending, so saving
  // returns at once.
  virtual void Save() {}

  // Extracts every item that matches fileMask and not exclusionMask (directory items only
  // with eoCreateDirs). Raises EVmNoArchive for an archive whose load failed.
  void ExtractFiles(const std::string& fileMask) { ExtractFilesEx(fileMask, std::string()); }
  // Archives whose content can only be decoded front to back replace the three loops below
  // with one pass over the content.
  virtual void ExtractFilesEx(const std::string& fileMask, const std::string& exclusionMask);
  // Extracts one item, to newName when given, else to the path the options give.
  void ExtractAt(std::size_t index, const std::string& newName = std::string());
  // Extracts the item with this name into a stream (EVmFileNotFound when there is none).
  void ExtractToStream(const std::string& fileName, core::TStream* toStream);
  virtual void ExtractTaggedItems();
  // Tests the tagged items: local header against central entry, then a full decode with
  // the CRC check. Failures are reported like extraction failures.
  virtual void TestTaggedItems();
  void TagAll(bool tagged = true);

  std::size_t Count() const noexcept { return FItemList.Count(); }
  // For how long the pointer is valid, see TVmArchiveList (and TVmZipDirectory).
  TVmArchiveItem* Items(std::size_t index) const { return FItemList.Items(index); }
  TVmArchiveList& ItemList() noexcept { return FItemList; }

  // The base-directory rule (see NormalizeBaseDirectory): may raise EVmNoSuchDirectory.
  void SetBaseDirectory(const std::string& directory);
  const std::string& BaseDirectory() const noexcept { return FBaseDirectory; }
  TVmExtractOptions ExtractOptions() const noexcept { return FExtractOptions; }
  void SetExtractOptions(TVmExtractOptions options) noexcept { FExtractOptions = options; }

  TVmArchiveStatus Status() const noexcept { return FStatus; }
  void SetStatus(TVmArchiveStatus status) noexcept { FStatus = status; }
  core::TStream* Stream() const noexcept { return FStream; }
  bool OwnsStream() const noexcept { return FOwnsStream; }
  const std::string& ArchiveName() const noexcept { return FArchiveName; }
  TVmArchiveItem* CurrentItem() const noexcept { return FCurrentItem; }

  // The folders entries are written into (below the base directory, links never
  // followed), and the archive file's own identity, which no entry may replace.
  TVmOutputFolders& OutputFolders() noexcept { return FOutputFolders; }
  const TVmFileIdentity& SourceIdentity() const noexcept { return FSourceIdentity; }

  // Reports the failure of an item: to the item-failure callback when installed.
  // ReportItemFailure(item, type, exception) classifies the exception first.
  void ReportItemFailure(TVmArchiveItem* item, TVmProcessType processType, TVmErrorClass errorClass, int errorCode,
                         const std::string& message);
  void ReportItemFailure(TVmArchiveItem* item, TVmProcessType processType, const std::exception& failure);
  bool HasItemFailureHandler() const noexcept { return static_cast<bool>(FOnProcessItemFailure); }
  // Progress of the archive (whole percent); an abort answer raises EVmUserAbort.
  void DoArchiveProgress(std::uint8_t percent);
  // Progress of the current item; true when the handler asks to abort.
  bool DoItemProgress(TVmArchiveItem* item, std::uint8_t percent);

  // Settings the component copies into the archive; stored only.
  std::int64_t FSpanningThreshold = 0;
  std::string FLogFile;
  bool FLogging = false;
  std::string FTempDirectory;

  // Callbacks installed by the component (BindArchive). The sender is this archive.
  TVmArchiveProgressEvent FOnArchiveProgress;
  TVmArchiveItemProgressEvent FOnArchiveItemProgress;
  TVmArchiveItemConfirmEvent FOnConfirmProcessItem;
  TVmArchiveEvent FOnLoad;
  TVmArchiveItemFailureEvent FOnProcessItemFailure;
  TVmRequestImageEvent FOnRequestImage;
  TVmConfirmOverwriteEvent FOnConfirmOverwrite;
  TVmArchiveItemExtractEvent FExtractHelper;
  TVmArchiveItemExtractToStreamEvent FExtractToStreamHelper;
  TVmArchiveItemTestEvent FTestHelper;

protected:
  virtual void ReadArchiveDirectory() = 0;
  // Raises EVmNoArchive unless the archive loaded.
  void RequireLoadedArchive() const;
  // The output path of an item, or false to skip it; its folder exists afterwards. May
  // raise EVmUnsafePath (reported as the item's failure by the caller) or
  // EVmNoSuchDirectory (propagates). Where file names ignore case, a file whose path
  // differs only in case from one an earlier entry of this archive went to is refused
  // (EVmUnsafePath).
  bool ConfirmExtractPath(TVmArchiveItem* item, std::string& newName);
  void ExtractItemByIndex(std::size_t index, const std::string& newName);

  core::TStream* FStream = nullptr;
  std::unique_ptr<core::TStream> FOwnedStream;
  bool FOwnsStream = false;
  std::string FArchiveName;
  std::uint32_t FMode = 0;
  TVmArchiveStatus FStatus = TVmArchiveStatus::asIdle;
  TVmArchiveList FItemList;
  std::string FBaseDirectory;
  TVmExtractOptions FExtractOptions = kDefaultExtractOptions;
  bool FIsDirty = false;
  TVmArchiveItem* FCurrentItem = nullptr;
  TVmOutputFolders FOutputFolders;
  TVmFileIdentity FSourceIdentity;

private:
  void NoteSourceIdentity();
  void CheckCaseCollision(const std::string& path);

  // The output paths given to files so far, by their case-folded form (Windows only).
  std::map<std::string, std::string> FCaseKeys;
};

// How an item failure is classified: the library's exceptions with their code, the
// system's I/O errors with theirs, stream and file errors by kind, anything else ecOther.
void ClassifyFailure(const std::exception& failure, TVmErrorClass& errorClass, int& errorCode);

}  // namespace tarvo::unzip
