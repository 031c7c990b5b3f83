#include "unzip/archive_list.h"

#include <cwctype>
#include <stdexcept>

#include "unzip/name_codec.h"

namespace tarvo::unzip {

std::string UpperCaseName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  std::size_t pos = 0;
  while (pos < name.size()) {
    unsigned char c = static_cast<unsigned char>(name[pos]);
    if (c < 0x80) {
      ++pos;
      if (c == '/') c = '\\';
      if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
      out += static_cast<char>(c);
      continue;
    }
    char32_t cp = NextCodePoint(name, pos);
    AppendUTF8(out, static_cast<char32_t>(std::towupper(static_cast<wint_t>(cp))));
  }
  return out;
}

namespace {

// The ELF-style hash of an upper-cased name over its UTF-16 units.
std::uint32_t HashUpperName(const std::string& upper) {
  std::uint32_t h = 0;
  auto mix = [&h](std::uint32_t unit) {
    h = (h << 4) + unit;
    std::uint32_t g = h & 0xF0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  };
  std::size_t pos = 0;
  while (pos < upper.size()) {
    char32_t cp = NextCodePoint(upper, pos);
    if (cp >= 0x10000) {
      mix(0xD800 + ((cp - 0x10000) >> 10));
      mix(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      mix(cp);
    }
  }
  return h;
}

}  // namespace

std::size_t TVmArchiveList::HashName(const std::string& name) { return HashUpperName(UpperCaseName(name)) % kBucketCount; }

void TVmArchiveList::Add(std::unique_ptr<TVmArchiveItem> item) {
  FSource.reset();
  FItems.push_back(std::move(item));
  FBuckets.clear();
  FLinks.clear();
}

void TVmArchiveList::SetSource(std::unique_ptr<TVmItemSource> source) {
  Clear();
  FSource = std::move(source);
}

void TVmArchiveList::Clear() {
  FItems.clear();
  FItems.shrink_to_fit();
  FSource.reset();
  FBuckets = {};
  FLinks = {};
}

TVmArchiveItem* TVmArchiveList::Items(std::size_t index) const {
  if (index >= Count()) throw std::out_of_range("TVmArchiveList::Items");
  return FSource ? FSource->Item(index) : FItems[index].get();
}

void TVmArchiveList::BuildNameIndex() const {
  std::size_t count = Count();
  std::vector<std::uint32_t> buckets(kBucketCount, kNoItem);
  std::vector<TLink> links(count);
  // Walking forward and putting each item at the head of its chain leaves the later of two
  // equal names first.
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t hash = HashUpperName(UpperCaseName(Items(i)->FileName()));
    std::uint32_t& head = buckets[hash % kBucketCount];
    links[i] = {hash, head};
    head = static_cast<std::uint32_t>(i);
  }
  FBuckets = std::move(buckets);
  FLinks = std::move(links);
}

long TVmArchiveList::IndexOf(const std::string& name) const {
  // Taken before any item is made: name may belong to an item the walk overwrites.
  const std::string wanted = UpperCaseName(name);
  const std::uint32_t hash = HashUpperName(wanted);
  if (Count() >= kNoItem) {
    // Past what 32-bit links can name (a directory of over 190 GB): search from the end.
    for (std::size_t i = Count(); i-- > 0;)
      if (UpperCaseName(Items(i)->FileName()) == wanted) return static_cast<long>(i);
    return -1;
  }
  if (FBuckets.empty()) BuildNameIndex();
  for (std::uint32_t i = FBuckets[hash % kBucketCount]; i != kNoItem; i = FLinks[i].Next)
    if (FLinks[i].Hash == hash && UpperCaseName(Items(i)->FileName()) == wanted) return static_cast<long>(i);
  return -1;
}

std::size_t TVmArchiveList::NameIndexBytes() const noexcept {
  return FBuckets.capacity() * sizeof(std::uint32_t) + FLinks.capacity() * sizeof(TLink);
}

}  // namespace tarvo::unzip
