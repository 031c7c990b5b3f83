// A ZIP archive: reads the end records and the central directory, whose items it makes
// on demand (TVmZipDirectory: an item pointer is valid while its block is one of the two
// used last), and carries what entry decoding needs (password, retries, the stream of a
// split set).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "unzip/archive.h"
#include "unzip/archive_item.h"
#include "unzip/read_ahead_stream.h"
#include "unzip/span_stream.h"
#include "unzip/zip_directory.h"
#include "unzip/zip_headers.h"

namespace tarvo::unzip {

class TVmZipArchive : public TVmArchive {
public:
  using TVmArchive::TVmArchive;
  ~TVmZipArchive() override;

  // The stream entries are read from: the archive stream, or the split set's stream.
  core::TStream& DataStream() noexcept { return FSpanStream ? *FSpanStream : *FStream; }
  // Positions EntryStream at an item's local header (on its disk for a split set) and
  // returns it. Raises EVmZipInvalid for an offset no stream can hold.
  core::TStream& SeekToLocalHeader(const TVmZipItem& item);
  // The stream entries are read through: DataStream behind a read-ahead buffer, so that
  // the local headers and data of many small entries cost one read per 64 KiB rather than
  // a seek and three reads each.
  core::TStream& EntryStream();

  TVmZipItem* ZipItems(std::size_t index) const { return static_cast<TVmZipItem*>(Items(index)); }
  const TVmZipDirectoryFileFooter& Info() const noexcept { return FInfo; }
  bool IsExecutable() const noexcept { return FIsExecutable; }
  bool Spanned() const noexcept { return FSpanned; }
  std::uint64_t StubSize() const noexcept { return FStubSize; }
  // The directory read by the last load (null before one).
  const TVmZipDirectory* Directory() const noexcept { return FDirectory; }
  // Entries per block of the directory for the next load (TVmZipDirectory::kBlockEntries
  // by default); small blocks let tests and fuzzing reach every window case.
  void SetDirectoryBlockEntries(std::size_t entries) noexcept { FDirectoryBlockEntries = entries; }

  std::string FPassword;  // 8-bit
  std::uint8_t FPasswordRetries = 3;
  TVmNeedPasswordEvent FOnNeedPassword;
  TVmRequestDiskEvent FOnRequestLastDisk;
  TVmRequestDiskEvent FOnRequestNthDisk;

protected:
  void ReadArchiveDirectory() override;

private:
  // The steps of a load; ReadArchiveDirectory marks the archive invalid when any fails.
  std::uint64_t FindDirectoryEnd();
  void ReadEndRecords(std::uint64_t endOffset);
  void OpenSpanSet();
  void LoadDirectory();
  void SeekTo(core::TStream& stream, std::uint32_t disk, std::uint64_t offset);
  std::uint64_t FindZip64Locator(std::uint64_t endRecordOffset);
  void AskForLastDisk();

  TVmZipDirectoryFileFooter FInfo;
  // Where the ZIP64 end record stands, when the end record says there is one.
  bool FZip64 = false;
  std::uint32_t FZip64Disk = 0;
  std::uint64_t FZip64Offset = 0;
  bool FIsExecutable = false;
  std::uint64_t FStubSize = ~std::uint64_t{0};
  bool FSpanned = false;
  std::unique_ptr<TVmSpanReadStream> FSpanStream;
  std::unique_ptr<TVmReadAheadStream> FEntryReader;
  TVmZipDirectory* FDirectory = nullptr;  // owned by the item list
  std::size_t FDirectoryBlockEntries = TVmZipDirectory::kBlockEntries;
};

}  // namespace tarvo::unzip
