// Shrinking: LZW over a 13-bit code space. Codes start 9 bits wide; 0-255 are the bytes,
// 256 introduces a control sub-code (1: widen the codes by one bit, 2: partial clear),
// and 257 upward are strings: a prefix code followed by one byte. Each code read after
// the first adds the entry (previous code, first byte of this code's string) at the
// lowest free slot, while slots remain. The partial clear frees every string code that
// is no other code's prefix.
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "unzip/methods/method_errors.h"
#include "unzip/methods/unzip_helper.h"

namespace tarvo::unzip {

namespace {

constexpr unsigned kInitialCodeBits = 9;
constexpr unsigned kMaxCodeBits = 13;
constexpr unsigned kCodes = 1u << kMaxCodeBits;
constexpr unsigned kControlCode = 256;
constexpr unsigned kFirstStringCode = 257;
constexpr std::uint16_t kFreeCode = 0xFFFF;  // prefix of a slot that holds no string

struct TLzwTable {
  std::array<std::uint16_t, kCodes> Prefix;
  std::array<std::uint8_t, kCodes> Suffix;
  std::array<std::uint8_t, kCodes> Stack;  // a string, built back to front
  unsigned FreeSlot = kFirstStringCode;

  TLzwTable() {
    Prefix.fill(kFreeCode);
    for (unsigned c = 0; c < 256; ++c) {
      Prefix[c] = 0;
      Suffix[c] = static_cast<std::uint8_t>(c);
    }
  }
  bool Defined(unsigned code) const { return code < kControlCode || (code >= kFirstStringCode && Prefix[code] != kFreeCode); }

  // Writes the string of code into Stack ending at its last slot; returns its first index.
  // A chain through a free slot or one longer than the table (a loop) is damage.
  std::size_t Expand(unsigned code) {
    std::size_t at = kCodes;
    while (code >= kFirstStringCode) {
      if (Prefix[code] == kFreeCode || at == 1) throw EVmLegacyDataError("LZW code out of range");
      Stack[--at] = Suffix[code];
      code = Prefix[code];
    }
    if (code == kControlCode) throw EVmLegacyDataError("LZW code out of range");
    Stack[--at] = static_cast<std::uint8_t>(code);
    return at;
  }

  void Add(unsigned prefix, std::uint8_t suffix) {
    if (FreeSlot >= kCodes) return;
    Prefix[FreeSlot] = static_cast<std::uint16_t>(prefix);
    Suffix[FreeSlot] = suffix;
    NextFreeSlot(FreeSlot + 1);
  }
  void NextFreeSlot(unsigned from) {
    FreeSlot = from;
    while (FreeSlot < kCodes && Prefix[FreeSlot] != kFreeCode) ++FreeSlot;
  }

  void PartialClear() {
    std::vector<bool> isPrefix(kCodes, false);
    for (unsigned c = kFirstStringCode; c < kCodes; ++c)
      if (Prefix[c] != kFreeCode) isPrefix[Prefix[c]] = true;
    for (unsigned c = kFirstStringCode; c < kCodes; ++c)
      if (!isPrefix[c]) Prefix[c] = kFreeCode;
    NextFreeSlot(kFirstStringCode);
  }
};

}  // namespace

void TVmUnzipHelper::Unshrink() {
  auto table = std::make_unique<TLzwTable>();
  unsigned codeBits = kInitialCodeBits;
  unsigned previous = Bits(codeBits);
  if (FInEof || Done()) return;
  if (previous >= kControlCode) throw EVmLegacyDataError("LZW code out of range");
  PutByte(static_cast<std::uint8_t>(previous));

  while (!Done()) {
    unsigned code = Bits(codeBits);
    if (FInEof) break;
    if (code == kControlCode) {
      unsigned sub = Bits(codeBits);
      if (FInEof) break;
      if (sub == 1 && codeBits < kMaxCodeBits)
        ++codeBits;
      else if (sub == 2)
        table->PartialClear();
      else
        throw EVmLegacyDataError("LZW control code out of range");
      continue;
    }
    std::size_t first;
    std::size_t end = kCodes;
    if (table->Defined(code)) {
      first = table->Expand(code);
    } else {
      // Not yet defined: the previous string followed by its own first byte.
      first = table->Expand(previous);
      if (first == 0) throw EVmLegacyDataError("LZW code out of range");
      // Shift one slot down to make room for the repeated byte at the end.
      std::uint8_t* s = table->Stack.data();
      std::memmove(s + first - 1, s + first, kCodes - first);
      s[kCodes - 1] = s[first - 1];
      --first;
    }
    const std::uint8_t head = table->Stack[first];
    for (std::size_t i = first; i < end && !Done(); ++i) PutByte(table->Stack[i]);
    table->Add(previous, head);
    previous = code;
  }
}

}  // namespace tarvo::unzip
