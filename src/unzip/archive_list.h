// The ordered item list of an archive with a name index: 1021 hash buckets over the
// upper-cased names, chained through each item's NextItem. The list owns its items.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "unzip/archive_item.h"

namespace tarvo::unzip {

class TVmArchiveList {
public:
  static constexpr std::size_t kBucketCount = 1021;

  // Appends the item and puts it at the head of its bucket's chain.
  void Add(std::unique_ptr<TVmArchiveItem> item);
  void Clear();
  // Makes room for count items at once, so a large directory does not pass through the
  // copies a growing list makes. count must come from what the archive holds, not from a
  // field it claims.
  void Reserve(std::size_t count) { FItems.reserve(count); }

  std::size_t Count() const noexcept { return FItems.size(); }
  TVmArchiveItem* Items(std::size_t index) const { return FItems.at(index).get(); }
  // The index of the item with this name ("/" and "\" alike, case ignored), or -1. With
  // duplicate names the one added last is found.
  long IndexOf(const std::string& name) const;

  // The bucket of a name: the classic ELF-style hash over the upper-cased UTF-16 units.
  static std::size_t HashName(const std::string& name);

private:
  std::vector<std::unique_ptr<TVmArchiveItem>> FItems;
  std::array<TVmArchiveItem*, kBucketCount> FBuckets{};
};

// The name in the form the list compares: "/" turned into "\", upper-cased (locale-aware
// for letters beyond ASCII).
std::string UpperCaseName(const std::string& name);

}  // namespace tarvo::unzip
