#include "unzip/methods/bzip2_block_scanner.h"

#include <algorithm>

namespace tarvo::unzip {

namespace {

constexpr std::uint64_t kMagicMask = (std::uint64_t{1} << bzip2::kMagicBits) - 1;

// A magic that starts k bits into byte i fills all of byte i+1: a table of those bytes
// lets the scan look closer only at one byte in sixteen.
struct TFilter {
  std::uint8_t Shifts[256] = {};
  TFilter() {
    for (std::uint64_t magic : {bzip2::kBlockMagic, bzip2::kEndMagic})
      for (unsigned k = 0; k < 8; ++k) Shifts[(magic >> (32 + k)) & 0xFF] |= static_cast<std::uint8_t>(1u << k);
  }
};

}  // namespace

bool TBzip2BlockScanner::ReadMore() {
  if (FEnded) return false;
  const std::size_t old = FBytes.size();
  FBytes.resize(old + kReadPiece);
  const std::size_t n = FInput.Read(FBytes.data() + old, kReadPiece);
  FBytes.resize(old + n);
  FEnded = n == 0;
  Scan();
  return true;
}

void TBzip2BlockScanner::Restart(std::int64_t start) {
  FInput.SetPosition(start);
  FBytes.clear();
  FMagics.clear();
  FBase = FScanned = 0;
  FEnded = false;
  FScanning = false;
}

const TBzip2Magic* TBzip2BlockScanner::MagicFrom(std::uint64_t bit, std::uint64_t limit) {
  for (;;) {
    auto it = std::lower_bound(FMagics.begin(), FMagics.end(), bit,
                               [](const TBzip2Magic& m, std::uint64_t b) { return m.Bit < b; });
    if (it != FMagics.end()) return it->Bit < limit ? &*it : nullptr;
    if (EndBit() >= limit + 64 || !ReadMore()) return nullptr;
  }
}

void TBzip2BlockScanner::Release(std::uint64_t bit) {
  const std::uint64_t dead = bit / 8 - FBase;
  if (dead < kReadPiece || dead * 2 < FBytes.size()) return;
  FBytes.erase(FBytes.begin(), FBytes.begin() + static_cast<std::ptrdiff_t>(dead));
  FBase += dead;
  while (!FMagics.empty() && FMagics.front().Bit < bit) FMagics.pop_front();
}

void TBzip2BlockScanner::Scan() {
  if (!FScanning) return;
  static const TFilter filter;
  const std::uint64_t end = FBase + FBytes.size();
  FScanned = std::max(FScanned, FBase);
  // A magic needs six bytes and a part of a seventh; the last ones wait for more input.
  const std::uint64_t last = FEnded ? end : (end >= 8 ? end - 8 : 0);
  for (; FScanned < last; ++FScanned) {
    const std::size_t i = static_cast<std::size_t>(FScanned - FBase);
    if (i + 1 >= FBytes.size()) continue;
    std::uint8_t shifts = filter.Shifts[FBytes[i + 1]];
    if (shifts == 0) continue;
    std::uint64_t word = 0;
    if (i + 8 <= FBytes.size()) {
      std::memcpy(&word, FBytes.data() + i, 8);
      word = __builtin_bswap64(word);
    } else {
      for (std::size_t j = 0; j < 8; ++j) word = word << 8 | (i + j < FBytes.size() ? FBytes[i + j] : 0);
    }
    for (unsigned k = 0; shifts != 0; ++k, shifts >>= 1) {
      if (!(shifts & 1)) continue;
      const std::uint64_t bit = FScanned * 8 + k;
      const std::uint64_t value = word >> (16 - k) & kMagicMask;
      if ((value == bzip2::kBlockMagic || value == bzip2::kEndMagic) && bit + bzip2::kMagicBits <= end * 8)
        FMagics.push_back({bit, value == bzip2::kEndMagic});
    }
  }
}

}  // namespace tarvo::unzip
