// Layout of a GNU gettext message catalog (".mo"); every number is a 32-bit unsigned
// value in the byte order the magic number reveals.
#pragma once

#include <cstdint>

namespace tarvo::i18n::mo {

inline constexpr std::uint32_t kMagic = 0x950412de;         // read in the machine's byte order
inline constexpr std::uint32_t kMagicSwapped = 0xde120495;  // the file has the other byte order

inline constexpr std::uint64_t kOffMagic = 0;           // magic number
inline constexpr std::uint64_t kOffRevision = 4;        // file format revision (ignored)
inline constexpr std::uint64_t kOffCount = 8;           // N, number of strings
inline constexpr std::uint64_t kOffOriginals = 12;      // offset of table with original strings
inline constexpr std::uint64_t kOffTranslations = 16;   // offset of table with translation strings
inline constexpr std::uint64_t kHeaderSize = 20;        // what we read; hash table fields are unused

// Each table entry: length of the string in bytes (without its terminating zero), then
// its offset from the start of the catalog.
inline constexpr std::uint64_t kEntrySize = 8;

}  // namespace tarvo::i18n::mo
