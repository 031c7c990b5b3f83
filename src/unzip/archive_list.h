// The ordered item list of an archive, with a name index.
//
// The list either owns its items (archives read front to back, whose items are few and
// made once) or takes them from a source that makes them on demand (a ZIP archive's
// central directory, see TVmZipDirectory). With a source, an item pointer is valid only
// as long as the source says.
//
// The name index is built on the first IndexOf, not at opening: it costs a pass over every
// name. It keeps 8 bytes an item (the name's full hash and the next item of its bucket,
// as indices) in 1021 buckets; the full hash spares making the items whose names cannot
// match.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "unzip/archive_item.h"

namespace tarvo::unzip {

// Items made on demand. Item(index), index < Count(), may raise the source's read errors.
class TVmItemSource {
public:
  virtual ~TVmItemSource() = default;
  virtual std::size_t Count() const noexcept = 0;
  virtual TVmArchiveItem* Item(std::size_t index) = 0;
};

class TVmArchiveList {
public:
  static constexpr std::size_t kBucketCount = 1021;

  // Appends an item the list then owns (a list without a source).
  void Add(std::unique_ptr<TVmArchiveItem> item);
  // From now on the items come from source; items added before are dropped.
  void SetSource(std::unique_ptr<TVmItemSource> source);
  void Clear();

  std::size_t Count() const noexcept { return FSource ? FSource->Count() : FItems.size(); }
  // Raises std::out_of_range for an index past the end.
  TVmArchiveItem* Items(std::size_t index) const;
  // The index of the item with this name ("/" and "\" alike, case ignored), or -1. With
  // duplicate names the one added last is found. With a source this may make other items
  // than the one found, so pointers the caller holds may no longer be valid; name may be
  // an item's own name.
  long IndexOf(const std::string& name) const;

  // The bucket of a name: the classic ELF-style hash over the upper-cased UTF-16 units,
  // modulo the bucket count.
  static std::size_t HashName(const std::string& name);
  // Bytes held by the name index (0 until the first IndexOf).
  std::size_t NameIndexBytes() const noexcept;

private:
  static constexpr std::uint32_t kNoItem = 0xFFFFFFFF;
  struct TLink {
    std::uint32_t Hash;  // full hash of the upper-cased name
    std::uint32_t Next;  // the next (earlier) item of the same bucket, or kNoItem
  };
  void BuildNameIndex() const;

  std::vector<std::unique_ptr<TVmArchiveItem>> FItems;
  std::unique_ptr<TVmItemSource> FSource;
  mutable std::vector<std::uint32_t> FBuckets;  // empty: no index yet
  mutable std::vector<TLink> FLinks;
};

// The name in the form the list compares: "/" turned into "\", upper-cased (locale-aware
// for letters beyond ASCII).
std::string UpperCaseName(const std::string& name);

}  // namespace tarvo::unzip
