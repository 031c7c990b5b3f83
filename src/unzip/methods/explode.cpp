// Imploding: a sliding dictionary (4 KiB or 8 KiB) with Shannon-Fano coded lengths and
// distances, and with three trees also coded literals.
//
// Each tree is stored compressed: one byte giving the number of bytes that follow, less
// one; each of those bytes holds a bit length less one (low 4 bits) and how many
// consecutive symbols have it, less one (high 4 bits). Codes are assigned from the
// longest lengths up, counting from zero in 16-bit left-aligned steps; a code's most
// significant bit comes first in the stream. The literal tree (256 symbols,
// three trees only) comes first, then the length and distance trees (64 symbols each).
//
// Then, until the size is reached: a 1 bit and a literal (tree-coded, or 8 raw bits with
// two trees); or a 0 bit and a copy: 6 (4 KiB) or 7 (8 KiB) raw low distance bits, the
// distance tree's symbol as the high bits, the length tree's symbol (63 adds 8 raw bits)
// plus the minimum match (2 with two trees, 3 with three); the source is distance + 1
// bytes back.
#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

#include "unzip/methods/method_errors.h"
#include "unzip/methods/unzip_helper.h"

namespace tarvo::unzip {

// A lookup table indexed by the next MaxBits input bits (least significant first): each
// entry holds the code length in its high byte and the symbol in its low byte; 0 marks
// bit patterns that start no code.
struct TVmUnzipHelper::TShannonFanoTree {
  unsigned MaxBits = 0;
  std::vector<std::uint16_t> Table;
};

void TVmUnzipHelper::ReadTree(TShannonFanoTree& tree, unsigned symbols) {
  std::array<std::uint8_t, 256> lengths{};
  unsigned filled = 0;
  const unsigned bytes = Bits(8) + 1;
  for (unsigned i = 0; i < bytes; ++i) {
    unsigned b = Bits(8);
    unsigned length = (b & 0x0F) + 1, count = (b >> 4) + 1;
    if (filled + count > symbols) throw EVmLegacyDataError("Shannon-Fano tree too large");
    std::fill_n(lengths.begin() + filled, count, static_cast<std::uint8_t>(length));
    filled += count;
  }
  if (FInEof) return;
  if (filled != symbols) throw EVmLegacyDataError("Shannon-Fano tree incomplete");

  std::array<std::uint16_t, 256> order;
  std::iota(order.begin(), order.begin() + symbols, 0);
  std::stable_sort(order.begin(), order.begin() + symbols,
                   [&](std::uint16_t a, std::uint16_t b) { return lengths[a] < lengths[b]; });
  tree.MaxBits = lengths[order[symbols - 1]];
  tree.Table.assign(std::size_t{1} << tree.MaxBits, 0);

  std::uint32_t code = 0, increment = 0;
  unsigned lastLength = 0;
  for (unsigned i = symbols; i-- > 0;) {
    const unsigned symbol = order[i], length = lengths[symbol];
    code += increment;
    if (length != lastLength) {
      lastLength = length;
      increment = 1u << (16 - length);
    }
    if (code + increment > 0x10000) throw EVmLegacyDataError("Shannon-Fano tree over-full");
    // The code's bits go into the stream most significant first.
    std::uint32_t stored = code >> (16 - length), reversed = 0;
    for (unsigned b = 0; b < length; ++b) reversed |= ((stored >> b) & 1) << (length - 1 - b);
    const std::uint16_t entry = static_cast<std::uint16_t>((length << 8) | symbol);
    for (std::size_t k = reversed; k < tree.Table.size(); k += std::size_t{1} << length) tree.Table[k] = entry;
  }
}

unsigned TVmUnzipHelper::Decode(const TShannonFanoTree& tree) {
  std::uint16_t entry = tree.Table[PeekBits(tree.MaxBits)];
  if (entry == 0) {
    // Padding past the input's end may spell no code; that is the end, not damage.
    if (FInputEnded && FBitsLeft < tree.MaxBits) {
      DropBits(tree.MaxBits);
      return 0;
    }
    throw EVmLegacyDataError("code not in Shannon-Fano tree");
  }
  DropBits(entry >> 8);
  return entry & 0xFF;
}

void TVmUnzipHelper::Explode() {
  const bool threeTrees = FShannonFanoTreeCount == 3;
  const unsigned lowBits = FDictionarySize == TVmZipDictionarySize::ds8K ? 7 : 6;
  const unsigned minMatch = threeTrees ? 3 : 2;
  TShannonFanoTree literals, lengths, distances;
  if (threeTrees) ReadTree(literals, 256);
  if (!FInEof) ReadTree(lengths, 64);
  if (!FInEof) ReadTree(distances, 64);
  if (FInEof) return;

  while (!Done()) {
    if (Bits(1)) {
      unsigned literal = threeTrees ? Decode(literals) : Bits(8);
      if (FInEof) break;
      PutByte(static_cast<std::uint8_t>(literal));
    } else {
      unsigned low = Bits(lowBits);
      unsigned high = Decode(distances);
      unsigned length = Decode(lengths);
      if (length == 63) length += Bits(8);
      if (FInEof) break;
      CopyMatch((std::uint64_t{high} << lowBits | low) + 1, length + minMatch);
    }
  }
}

}  // namespace tarvo::unzip
