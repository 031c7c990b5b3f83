#include "unzip/archive_list.h"

#include <cwctype>

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

std::size_t TVmArchiveList::HashName(const std::string& name) {
  std::string upper = UpperCaseName(name);
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
  return h % kBucketCount;
}

void TVmArchiveList::Add(std::unique_ptr<TVmArchiveItem> item) {
  std::size_t bucket = HashName(item->FileName());
  item->NextItem = FBuckets[bucket];
  FBuckets[bucket] = item.get();
  FItems.push_back(std::move(item));
}

void TVmArchiveList::Clear() {
  FItems.clear();
  FItems.shrink_to_fit();
  FBuckets.fill(nullptr);
}

long TVmArchiveList::IndexOf(const std::string& name) const {
  std::string wanted = UpperCaseName(name);
  for (TVmArchiveItem* item = FBuckets[HashName(name)]; item; item = item->NextItem) {
    if (UpperCaseName(item->FileName()) != wanted) continue;
    for (std::size_t i = FItems.size(); i-- > 0;)
      if (FItems[i].get() == item) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace tarvo::unzip
