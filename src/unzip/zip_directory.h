// The central directory of an opened ZIP archive, kept on disk rather than in memory.
//
// A desktop product's archive holds tens of thousands of entries; an item object per
// entry, with its name, would make memory grow with the archive. Opening reads the
// directory once and checks every entry, but keeps only an index: where each block of
// entries starts in the directory (a few bytes per block) and, for a directory not in
// file order, the entries' sorted local header offsets. Items are made from the
// directory's bytes when asked for, a whole block at a time, into one of two windows, so
// a walk in either direction reads each block once.
//
// Item pointers: an item stays valid while its block is one of the two used last. A
// caller may therefore hold an item while it asks for items of one other block (two items
// at once), but not across a walk of the list. Tagged and Action are kept beside the
// index while a block is out of memory (only once one differs from its default).
//
// Data limits: an entry's data must end before the next local header on its disk, or
// before the central directory; an entry whose local header another entry also claims
// shares it (the overlap bomb: thousands of entries sharing one local entry's data). In
// an archive of one disk the disk numbers are ignored, as they are for reading. For a
// directory in file order (what writers produce) the next entry in the directory is the
// next local header, which the block holds; any other directory keeps every entry's
// (disk, offset) sorted, 16 bytes an entry.
//
// A directory that no longer reads as it did when the archive was opened (the file was
// changed since) raises EVmReadError when a block is made again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/stream.h"
#include "unzip/archive_item.h"
#include "unzip/archive_list.h"
#include "unzip/read_ahead_stream.h"
#include "unzip/zip_headers.h"

namespace tarvo::unzip {

class TVmZipDirectory final : public TVmItemSource {
public:
  // Entries made at once, per window: large enough that a walk costs one read per block,
  // small enough that two windows stay a fraction of the program's memory.
  static constexpr std::size_t kBlockEntries = 256;

  // stream: the archive's data stream (a split set's linear stream), positioned at the
  // directory's first entry; it must outlive this object. directoryDisk and
  // directoryOffset: where the directory starts, as the end record says.
  TVmZipDirectory(core::TStream& stream, bool spanned, std::uint32_t directoryDisk, std::uint64_t directoryOffset,
                  std::size_t blockEntries = kBlockEntries);

  // Reads total entries from the stream's position, checking each as its item would be
  // made. After each entry progress(entries read) is called; it may raise to stop. Raises
  // EVmZipInvalid for a wrong signature and the stream's read error for a cut entry.
  void Load(std::uint64_t total, const std::function<void(std::uint64_t)>& progress);

  std::size_t Count() const noexcept override { return FCount; }
  // See the pointer rule above.
  TVmArchiveItem* Item(std::size_t index) override;
  // The lowest local header offset among entries on disk 0 (all ones for none).
  std::uint64_t LowestOffsetOnDisk0() const noexcept { return FLowestOnDisk0; }
  // Bytes held for the index: the block starts, the sorted offsets and the kept states
  // (not the two windows, whose size does not depend on the entry count).
  std::size_t IndexBytes() const noexcept;

private:
  // Where a local header is: ordered by disk, then offset.
  struct TPlace {
    std::uint64_t Offset = 0;
    std::uint32_t Disk = 0;
    friend bool operator<(const TPlace& a, const TPlace& b) noexcept {
      return a.Disk != b.Disk ? a.Disk < b.Disk : a.Offset < b.Offset;
    }
    friend bool operator==(const TPlace& a, const TPlace& b) noexcept = default;
  };
  struct TBlockStart {
    std::int64_t Position;  // of the block's first central entry in the stream
    TPlace First;           // that entry's local header
  };
  struct TWindow {
    static constexpr std::size_t kNoBlock = ~std::size_t{0};
    std::size_t Block = kNoBlock;
    std::unique_ptr<TVmZipItem[]> Items;
    std::size_t Slots = 0;  // of Items
    std::size_t Made = 0;   // items of Block in Items
  };

  TPlace PlaceOf(std::uint64_t offset, std::uint32_t disk) const noexcept;
  void SortPlaces();
  TWindow& WindowOf(std::size_t block);
  void MakeBlock(TWindow& window, std::size_t block);
  void SetDataLimit(TVmZipItem& item, const TPlace& place, const TPlace* next, bool shared) const noexcept;
  void KeepStates(const TWindow& window);
  void ForgetWindows();

  TVmReadAheadStream FReader;
  const bool FSpanned;
  const TPlace FDirectory;
  const std::size_t FBlockEntries;
  std::size_t FCount = 0;
  std::int64_t FEnd = 0;  // stream position after the last entry
  std::uint64_t FLowestOnDisk0 = ~std::uint64_t{0};
  bool FInFileOrder = true;
  bool FLoading = false;
  std::vector<TBlockStart> FBlocks;
  std::vector<TPlace> FSortedPlaces;  // only for a directory not in file order
  std::vector<std::uint8_t> FStates;  // empty while every item has its default state
  TWindow FWindows[2];
  std::size_t FRecent = 0;  // the window used last
  TVmZipDirectoryFileHeader FHeader;  // reused for every entry read
};

}  // namespace tarvo::unzip
