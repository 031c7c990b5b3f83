#include "unzip/zip_archive.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <limits>

#include "core/exception.h"
#include "core/file_stream.h"
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
  if (abort) {
    FStatus = TVmArchiveStatus::asInvalid;
    throw EVmUserAbort();
  }
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
  FStatus = TVmArchiveStatus::asInvalid;
  throw EVmZipInvalid();
}

void TVmZipArchive::ReadArchiveDirectory() {
  FEntryReader.reset();
  FItemList.Clear();
  FSpanStream.reset();
  FSpanned = false;
  if (FStream->Size() == 0) return;
  try {
    ReadDirectory();
  } catch (...) {
    // Whatever stopped the load, a half-read directory must not be extracted from.
    FStatus = TVmArchiveStatus::asInvalid;
    throw;
  }
}

void TVmZipArchive::ReadDirectory() {
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
  if (endOffset == kNotFound) {
    FStatus = TVmArchiveStatus::asInvalid;
    throw EVmZipInvalid();
  }

  FStream->SetPosition(static_cast<std::int64_t>(endOffset));
  FInfo = TVmZipDirectoryFileFooter();
  FInfo.LoadFromStream(*FStream);

  bool zip64 = FInfo.IsZip64();
  std::uint32_t zip64Disk = 0;
  std::uint64_t zip64Offset = 0;
  if (zip64) {
    std::uint64_t locator = FindZip64Locator(endOffset);
    std::uint8_t l[zipfmt::kZip64LocatorSize] = {};
    FStream->SetPosition(static_cast<std::int64_t>(locator));
    ReadUpTo(*FStream, l, sizeof l);
    zip64Disk = GetLE32(l + 4);           // number of the disk with the ZIP64 end record
    zip64Offset = GetLE64(l + 8);         // relative offset of the ZIP64 end record
    std::uint32_t totalDisks = GetLE32(l + 16);  // total number of disks
    // A locator that counts no disk at all (some writers put 0 here) means one disk; the
    // literal "0 - 1" would declare a set of four billion disks.
    FInfo.FDiskNumber = totalDisks == 0 ? 0 : totalDisks - 1;
  }

  FSpanned = FInfo.FDiskNumber != 0;
  if (FSpanned) {
    if (!FOwnsStream) {
      FStatus = TVmArchiveStatus::asInvalid;
      throw EVmZipBadSpanStream();
    }
    TVmArchive* self = this;
    auto onImage = [self](std::uint32_t disk, std::string& name, bool& abort) {
      if (self->FOnRequestImage) self->FOnRequestImage(self, static_cast<int>(disk), name, abort);
    };
    FSpanStream = std::make_unique<TVmSpanReadStream>(*FStream, FArchiveName, FInfo.FDiskNumber, onImage);
  }

  if (zip64) {
    try {
      SeekTo(DataStream(), zip64Disk, zip64Offset);
      FInfo.LoadZip64FromStream(DataStream());
    } catch (const EVmZipInvalid&) {
      FStatus = TVmArchiveStatus::asInvalid;
      throw;
    }
  }

  SeekTo(DataStream(), FInfo.FStartDiskNumber, FInfo.FDirectoryOffset);
  FStubSize = ~std::uint64_t{0};

  // The directory is parsed through a read-ahead buffer: one read per 64 KiB, not one per
  // field. The item count is taken from the footer but each entry must be read from real
  // bytes, so a lying count ends at the first missing record, never in a huge allocation.
  TVmReadAheadStream reader(DataStream());
  std::uint64_t total = FInfo.FTotalEntries;
  // Room for the entries the directory's bytes can hold (46 bytes at least each) and the
  // file really has: a footer that claims more costs nothing.
  std::uint64_t room = std::min(FInfo.FDirectorySize, static_cast<std::uint64_t>(FStream->Size())) /
                       zipfmt::kCentralHeaderSize;
  FItemList.Reserve(static_cast<std::size_t>(std::min(room, total)));
  TVmZipDirectoryFileHeader scratch;
  std::uint64_t count = 0;
  while (count < total) {
    auto item = std::make_unique<TVmZipItem>();
    try {
      item->LoadFromStream(reader, scratch);
    } catch (const EVmZipInvalid&) {
      FStatus = TVmArchiveStatus::asInvalid;
      throw;
    }
    item->SetAction(TVmArchiveAction::aaNone);
    if (FIsExecutable && item->FDiskNumberStart == 0 && item->FRelativeOffset < FStubSize)
      FStubSize = item->FRelativeOffset;
    FItemList.Add(std::move(item));
    ++count;
    bool abort = false;
    if (FOnArchiveProgress) FOnArchiveProgress(this, static_cast<std::uint8_t>(count * 100 / total), abort);
    if (abort) {
      FStatus = TVmArchiveStatus::asInvalid;
      throw EVmUserAbort();
    }
  }
  NoteDataLimits();
  bool abort = false;
  if (FOnArchiveProgress) FOnArchiveProgress(this, 100, abort);
  FIsDirty = false;
}

void TVmZipArchive::NoteDataLimits() {
  // Entries laid out one after the other: each may run up to the next local header on its
  // disk (or the central directory). Overlapping entries (many central entries sharing one
  // local entry's data) are the zip bomb that multiplies a small archive's output.
  // Sorted as pointers (8 bytes an entry): this runs at the peak of the directory's memory.
  std::vector<TVmZipItem*> spans(Count());
  for (std::size_t i = 0; i < spans.size(); ++i) spans[i] = ZipItems(i);
  std::sort(spans.begin(), spans.end(), [](const TVmZipItem* a, const TVmZipItem* b) {
    return a->FDiskNumberStart != b->FDiskNumberStart ? a->FDiskNumberStart < b->FDiskNumberStart
                                                      : a->FRelativeOffset < b->FRelativeOffset;
  });
  for (std::size_t i = 0; i < spans.size(); ++i) {
    TVmZipItem& s = *spans[i];
    std::size_t next = i + 1;
    while (next < spans.size() && spans[next]->FDiskNumberStart == s.FDiskNumberStart &&
           spans[next]->FRelativeOffset == s.FRelativeOffset) {
      s.FSharesLocalHeader = spans[next]->FSharesLocalHeader = true;
      ++next;
    }
    std::uint64_t limit = ~std::uint64_t{0};
    if (next < spans.size() && spans[next]->FDiskNumberStart == s.FDiskNumberStart) limit = spans[next]->FRelativeOffset;
    if (s.FDiskNumberStart == FInfo.FStartDiskNumber && FInfo.FDirectoryOffset > s.FRelativeOffset)
      limit = std::min(limit, FInfo.FDirectoryOffset);
    s.FDataLimit = limit;
  }
}

}  // namespace tarvo::unzip
