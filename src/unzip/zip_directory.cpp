#include "unzip/zip_directory.h"

#include <algorithm>

#include "core/exception.h"
#include "core/scope_guard.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

// Tagged and Action of an item out of memory, in one byte.
std::uint8_t StateOf(const TVmArchiveItem& item) noexcept {
  return static_cast<std::uint8_t>((static_cast<unsigned>(item.Action()) << 1) | (item.Tagged() ? 1u : 0u));
}
constexpr std::uint8_t kDefaultState = static_cast<std::uint8_t>(static_cast<unsigned>(TVmArchiveAction::aaNone) << 1);

}  // namespace

TVmZipDirectory::TVmZipDirectory(core::TStream& stream, bool spanned, std::uint32_t directoryDisk,
                                 std::uint64_t directoryOffset, std::size_t blockEntries)
    : FReader(stream),
      FSpanned(spanned),
      FDirectory{directoryOffset, spanned ? directoryDisk : 0},
      FBlockEntries(std::max<std::size_t>(blockEntries, 1)) {}

TVmZipDirectory::TPlace TVmZipDirectory::PlaceOf(std::uint64_t offset, std::uint32_t disk) const noexcept {
  // One disk: its number is not used to find the header, so it cannot tell headers apart.
  return {offset, FSpanned ? disk : 0};
}

void TVmZipDirectory::Load(std::uint64_t total, const std::function<void(std::uint64_t)>& progress) {
  // Nothing is reserved from total: it is the end record's claim, and every entry must
  // come from real bytes, so a lying count ends at the first missing record. A load that
  // stops keeps the entries read before, as a list it was filling would.
  FLoading = true;
  core::TScopeGuard finish([this] {
    FLoading = false;
    ForgetWindows();
    if (!FInFileOrder) SortPlaces();
  });
  TPlace previous;
  while (FCount < total) {
    std::int64_t at = FReader.Position();
    FHeader.LoadFromStream(FReader);
    TVmZipEntryPlace entry = FHeader.Place();
    TPlace place = PlaceOf(entry.RelativeOffset, entry.DiskNumberStart);
    if (FCount % FBlockEntries == 0) FBlocks.push_back({at, place});
    if (FCount > 0 && !(previous < place)) FInFileOrder = false;
    previous = place;
    if (entry.DiskNumberStart == 0) FLowestOnDisk0 = std::min(FLowestOnDisk0, entry.RelativeOffset);
    ++FCount;
    if (!FStates.empty()) FStates.push_back(kDefaultState);
    FEnd = FReader.Position();
    if (progress) {
      // The handler may ask for items, which moves the reader; those of the last block
      // are made again as it grows.
      ForgetWindows();
      progress(FCount);
      FReader.SetPosition(FEnd);
    }
  }
  finish.Run();
}

void TVmZipDirectory::SortPlaces() {
  // A second pass: the order showed only part-way, and keeping every place from the start
  // would cost the memory an ordered directory does not need. Left empty if it fails, so
  // that no item can be made.
  std::vector<TPlace> places;
  places.reserve(FCount);
  FReader.SetPosition(FBlocks.front().Position);
  for (std::size_t i = 0; i < FCount; ++i) {
    FHeader.LoadFromStream(FReader);
    TVmZipEntryPlace entry = FHeader.Place();
    places.push_back(PlaceOf(entry.RelativeOffset, entry.DiskNumberStart));
  }
  std::sort(places.begin(), places.end());
  FSortedPlaces = std::move(places);
}

void TVmZipDirectory::ForgetWindows() {
  for (TWindow& window : FWindows) {
    KeepStates(window);
    window.Block = TWindow::kNoBlock;
  }
}

TVmArchiveItem* TVmZipDirectory::Item(std::size_t index) {
  if (index >= FCount) throw std::out_of_range("TVmZipDirectory::Item");
  std::size_t block = index / FBlockEntries;
  return &WindowOf(block).Items[index - block * FBlockEntries];
}

TVmZipDirectory::TWindow& TVmZipDirectory::WindowOf(std::size_t block) {
  if (FWindows[FRecent].Block == block) return FWindows[FRecent];
  std::size_t other = 1 - FRecent;
  if (FWindows[other].Block != block) {
    KeepStates(FWindows[other]);
    MakeBlock(FWindows[other], block);
  }
  FRecent = other;
  return FWindows[other];
}

void TVmZipDirectory::KeepStates(const TWindow& window) {
  if (window.Block == TWindow::kNoBlock) return;
  std::size_t first = window.Block * FBlockEntries;
  for (std::size_t k = 0; k < window.Made; ++k) {
    std::uint8_t state = StateOf(window.Items[k]);
    if (FStates.empty()) {
      if (state == kDefaultState) continue;
      FStates.assign(FCount, kDefaultState);
    }
    FStates[first + k] = state;
  }
}

void TVmZipDirectory::MakeBlock(TWindow& window, std::size_t block) {
  window.Block = TWindow::kNoBlock;  // until every item of the block is made
  const std::size_t first = block * FBlockEntries;
  const std::size_t n = std::min(FBlockEntries, FCount - first);
  if (window.Slots < n) {
    window.Slots = std::min(FBlockEntries, FCount);
    window.Items = std::make_unique<TVmZipItem[]>(window.Slots);
  }
  const std::int64_t end = block + 1 < FBlocks.size() ? FBlocks[block + 1].Position : FEnd;
  try {
    FReader.SetPosition(FBlocks[block].Position);
    for (std::size_t k = 0; k < n; ++k) window.Items[k].LoadFromStream(FReader, FHeader);
  } catch (const EVmZipInvalid&) {
    throw EVmReadError();
  } catch (const core::EReadError&) {
    throw EVmReadError();
  }
  // The block must still be the one read at opening: same length, same first entry.
  TVmZipItem& head = window.Items[0];
  if (FReader.Position() != end || !(PlaceOf(head.FRelativeOffset, head.FDiskNumberStart) == FBlocks[block].First))
    throw EVmReadError();

  for (std::size_t k = 0; k < n; ++k) {
    TVmZipItem& item = window.Items[k];
    TPlace place = PlaceOf(item.FRelativeOffset, item.FDiskNumberStart);
    if (FLoading) {
      // The limits are known once every entry is read: until then no data is read.
      SetDataLimit(item, place, nullptr, true);
    } else if (FInFileOrder) {
      TPlace next;
      const TPlace* nextPlace = nullptr;
      if (k + 1 < n) {
        next = PlaceOf(window.Items[k + 1].FRelativeOffset, window.Items[k + 1].FDiskNumberStart);
        nextPlace = &next;
      } else if (block + 1 < FBlocks.size()) {
        nextPlace = &FBlocks[block + 1].First;
      }
      SetDataLimit(item, place, nextPlace, false);
    } else {
      auto [low, high] = std::equal_range(FSortedPlaces.begin(), FSortedPlaces.end(), place);
      if (low == high) throw EVmReadError();  // a place that was not in the directory
      SetDataLimit(item, place, high != FSortedPlaces.end() ? &*high : nullptr, high - low > 1);
    }
    if (!FStates.empty()) {
      std::uint8_t state = FStates[first + k];
      item.SetTagged(state & 1);
      item.SetAction(static_cast<TVmArchiveAction>(state >> 1));
    }
  }
  window.Made = n;
  window.Block = block;
}

void TVmZipDirectory::SetDataLimit(TVmZipItem& item, const TPlace& place, const TPlace* next,
                                   bool shared) const noexcept {
  std::uint64_t limit = ~std::uint64_t{0};
  if (next && next->Disk == place.Disk) limit = next->Offset;
  if (place.Disk == FDirectory.Disk && FDirectory.Offset > place.Offset) limit = std::min(limit, FDirectory.Offset);
  item.FDataLimit = limit;
  item.FSharesLocalHeader = shared;
}

std::size_t TVmZipDirectory::IndexBytes() const noexcept {
  return FBlocks.capacity() * sizeof(TBlockStart) + FSortedPlaces.capacity() * sizeof(TPlace) + FStates.capacity();
}

}  // namespace tarvo::unzip
