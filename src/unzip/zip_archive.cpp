#include "unzip/zip_archive.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <limits>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/scope_guard.h"
#include "platform/drives.h"
#include "unzip/archive_probe.h"
#include "unzip/byte_order.h"
#include "unzip/read_ahead_stream.h"
#include "unzip/vm_exception.h"
#include "unzip/zip_format.h"

namespace tarvo::unzip {

void TVmZipArchive::SeekTo(core::TStream& stream, std::uint32_t disk, std::uint64_t offset) {
  if (FSpanStream && &stream == FSpanStream.get()) {
    FSpanStream->SeekDisk(disk, offset);
    return;
  }
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) throw EVmZipInvalid();
  stream.SetPosition(static_cast<std::int64_t>(offset));
}

core::TStream& TVmZipArchive::EntryStream() {
  if (!FEntryReader) FEntryReader = std::make_unique<TVmReadAheadStream>(DataStream());
  return *FEntryReader;
}

core::TStream& TVmZipArchive::SeekToLocalHeader(const TVmZipItem& item) {
  core::TStream& reader = EntryStream();
  if (FSpanStream) {
    // The disk is chosen on the split set's stream; the reader follows its position.
    FSpanStream->SeekDisk(item.FDiskNumberStart, item.FRelativeOffset);
    reader.SetPosition(FSpanStream->Position());
  } else {
    SeekTo(reader, item.FDiskNumberStart, item.FRelativeOffset);
  }
  return reader;
}

void TVmZipArchive::AskForLastDisk() {
  // Only reached for removable media, which this build never reports: kept so that a
  // platform with floppies still asks through the handler.
  bool abort = true;
  if (FOnRequestLastDisk) {
    abort = false;
    FOnRequestLastDisk(this, -1, abort);
  }
  if (abort) throw EVmUserAbort();
  FOwnedStream.reset();
  FOwnedStream = std::make_unique<core::TFileStream>(FArchiveName, FMode);
  FStream = FOwnedStream.get();
}

std::uint64_t TVmZipArchive::FindZip64Locator(std::uint64_t endRecordOffset) {
  // Step back from 20 bytes before the end record until a locator signature starts there.
  std::uint8_t buffer[4096 + zipfmt::kZip64LocatorSize];
  std::int64_t candidate = static_cast<std::int64_t>(endRecordOffset) - static_cast<std::int64_t>(zipfmt::kZip64LocatorSize);
  while (candidate >= 0) {
    // Read a block ending 20 bytes after the candidate and scan it downwards.
    std::int64_t blockStart = std::max<std::int64_t>(0, candidate - 4096);
    std::size_t want = static_cast<std::size_t>(candidate - blockStart) + zipfmt::kZip64LocatorSize;
    FStream->SetPosition(blockStart);
    std::memset(buffer, 0, sizeof buffer);
    ReadUpTo(*FStream, buffer, want);
    for (std::int64_t at = candidate; at >= blockStart; --at)
      if (GetLE32(buffer + (at - blockStart)) == zipfmt::kZip64LocatorSignature) return static_cast<std::uint64_t>(at);
    candidate = blockStart - 1;
  }
  throw EVmZipInvalid();
}

TVmZipArchive::~TVmZipArchive() {
  // The directory reads from the split set's stream, which goes first.
  FItemList.Clear();
}

void TVmZipArchive::ReadArchiveDirectory() {
  FEntryReader.reset();
  FItemList.Clear();
  FDirectory = nullptr;
  FSpanStream.reset();
  FSpanned = false;
  if (FStream->Size() == 0) return;
  // Whatever stops the load, a half-read directory must not be extracted from.
  core::TScopeGuard invalid([this] { FStatus = TVmArchiveStatus::asInvalid; });
  ReadEndRecords(FindDirectoryEnd());
  OpenSpanSet();
  LoadDirectory();
  invalid.Dismiss();
}

// Probes the first bytes (an executable stub, a split archive's marker) and finds the end
// of central directory record, asking for the last disk of a set on removable media.
std::uint64_t TVmZipArchive::FindDirectoryEnd() {
  std::uint8_t head[4] = {};
  FStream->SetPosition(0);
  std::size_t headLength = ReadUpTo(*FStream, head, 4);
  FIsExecutable = (headLength >= 2 && head[0] == 'M' && head[1] == 'Z') ||
                  (headLength == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F');
  bool splitMarker = headLength == 4 && GetLE32(head) == zipfmt::kDataDescriptorSignature;

  std::uint64_t endOffset = LocateDirectoryEnd(*FStream);
  while (endOffset == kNotFound && splitMarker && FOwnsStream && platform::IsRemovableDrive(FArchiveName)) {
    AskForLastDisk();
    endOffset = LocateDirectoryEnd(*FStream);
  }
  if (endOffset == kNotFound) throw EVmZipInvalid();
  return endOffset;
}

// The end record and, for a ZIP64 archive, its locator: the disk count and where the
// ZIP64 end record stands.
void TVmZipArchive::ReadEndRecords(std::uint64_t endOffset) {
  FStream->SetPosition(static_cast<std::int64_t>(endOffset));
  FInfo = TVmZipDirectoryFileFooter();
  FInfo.LoadFromStream(*FStream);

  FZip64 = FInfo.IsZip64();
  FZip64Disk = 0;
  FZip64Offset = 0;
  if (!FZip64) return;
  std::uint64_t locator = FindZip64Locator(endOffset);
  std::uint8_t l[zipfmt::kZip64LocatorSize] = {};
  FStream->SetPosition(static_cast<std::int64_t>(locator));
  ReadUpTo(*FStream, l, sizeof l);
  FZip64Disk = GetLE32(l + 4);                 // number of the disk with the ZIP64 end record
  FZip64Offset = GetLE64(l + 8);               // relative offset of the ZIP64 end record
  std::uint32_t totalDisks = GetLE32(l + 16);  // total number of disks
  // A locator that counts no disk at all (some writers put 0 here) means one disk; the
  // literal "0 - 1" would declare a set of four billion disks.
  FInfo.FDiskNumber = totalDisks == 0 ? 0 : totalDisks - 1;
}

void TVmZipArchive::OpenSpanSet() {
  FSpanned = FInfo.FDiskNumber != 0;
  if (!FSpanned) return;
  if (!FOwnsStream) throw EVmZipBadSpanStream();
  TVmArchive* self = this;
  auto onImage = [self](std::uint32_t disk, std::string& name, bool& abort) {
    if (self->FOnRequestImage) self->FOnRequestImage(self, static_cast<int>(disk), name, abort);
  };
  FSpanStream = std::make_unique<TVmSpanReadStream>(*FStream, FArchiveName, FInfo.FDiskNumber, onImage);
}

// The ZIP64 end record, then the central directory: the directory keeps an index and makes
// items when asked; reading it here checks every entry once.
void TVmZipArchive::LoadDirectory() {
  if (FZip64) {
    SeekTo(DataStream(), FZip64Disk, FZip64Offset);
    FInfo.LoadZip64FromStream(DataStream());
  }

  SeekTo(DataStream(), FInfo.FStartDiskNumber, FInfo.FDirectoryOffset);
  FStubSize = ~std::uint64_t{0};
  auto directory = std::make_unique<TVmZipDirectory>(DataStream(), FSpanned, FInfo.FStartDiskNumber,
                                                     FInfo.FDirectoryOffset, FDirectoryBlockEntries);
  FDirectory = directory.get();
  FItemList.SetSource(std::move(directory));
  const std::uint64_t total = FInfo.FTotalEntries;
  FDirectory->Load(total, [this, total](std::uint64_t count) {
    bool abort = false;
    if (FOnArchiveProgress) FOnArchiveProgress(this, static_cast<std::uint8_t>(count * 100 / total), abort);
    if (abort) throw EVmUserAbort();
  });
  if (FIsExecutable) FStubSize = FDirectory->LowestOffsetOnDisk0();
  bool abort = false;
  if (FOnArchiveProgress) FOnArchiveProgress(this, 100, abort);
  FIsDirty = false;
}

}  // namespace tarvo::unzip
