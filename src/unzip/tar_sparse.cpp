#include "unzip/tar_sparse.h"

#include <algorithm>
#include <limits>

namespace tarvo::unzip {

namespace {

constexpr std::uint64_t kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
constexpr std::uint64_t kBlock = 512;

// value * 10 + digit, false past kLargest.
bool AddDigit(std::uint64_t& value, char digit) noexcept {
  const auto d = static_cast<std::uint64_t>(digit - '0');
  if (value > (kLargest - d) / 10) return false;
  value = value * 10 + d;
  return true;
}

}  // namespace

bool ParseDecimal(std::string_view text, std::uint64_t& value) noexcept {
  value = 0;
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9' || !AddDigit(value, c)) return false;
  return true;
}

TVmSparseCheck CheckSparseMap(const std::vector<TVmSparseChunk>& chunks, std::uint64_t realSize,
                              std::uint64_t storedData) noexcept {
  std::uint64_t end = 0, stored = 0;
  for (const TVmSparseChunk& c : chunks) {
    if (c.Offset < end || c.Offset > realSize || c.Size > realSize - c.Offset) return TVmSparseCheck::scBadMap;
    end = c.Offset + c.Size;
    stored += c.Size;  // disjoint and inside realSize: cannot overflow
  }
  if (stored != storedData) return TVmSparseCheck::scBadMap;
  const std::uint64_t holes = realSize - stored;
  const std::uint64_t budget = stored > (kLargest - kSparseHoleAllowance) / kSparseHoleRatio
                                   ? kLargest
                                   : stored * kSparseHoleRatio + kSparseHoleAllowance;
  return holes > budget ? TVmSparseCheck::scTooLarge : TVmSparseCheck::scGood;
}

bool ParseSparseMapText(std::string_view text, std::vector<TVmSparseChunk>& chunks) {
  chunks.clear();
  if (text.empty()) return true;
  std::uint64_t numbers[2];
  std::size_t n = 0;
  for (std::size_t at = 0;;) {
    std::size_t comma = text.find(',', at);
    std::string_view part = text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
    if (!ParseDecimal(part, numbers[n])) return false;
    if (++n == 2) {
      if (chunks.size() == kMaxSparseChunks) return false;
      chunks.push_back({numbers[0], numbers[1]});
      n = 0;
    }
    if (comma == std::string_view::npos) break;
    at = comma + 1;
  }
  return n == 0;
}

void TVmSparseMapReader::EndNumber() {
  if (FDigits == 0) {
    FState = TState::msFailed;
    return;
  }
  if (FNumbers == 0) {
    if (FValue > kMaxSparseChunks) {
      FState = TState::msFailed;
      return;
    }
    FCount = FValue;
  } else if (FNumbers % 2 == 1) {
    Chunks.push_back({FValue, 0});
  } else {
    Chunks.back().Size = FValue;
  }
  ++FNumbers;
  FValue = 0;
  FDigits = 0;
  if (FNumbers == 2 * FCount + 1) FState = FUsed % kBlock ? TState::msPadding : TState::msDone;
}

std::size_t TVmSparseMapReader::Take(const std::uint8_t* data, std::size_t count) {
  std::size_t used = 0;
  while (used < count) {
    if (FState == TState::msNumbers) {
      const char c = static_cast<char>(data[used++]);
      ++FUsed;
      if (c == '\n') {
        EndNumber();
      } else if (c < '0' || c > '9' || !AddDigit(FValue, c)) {
        FState = TState::msFailed;
      } else {
        ++FDigits;
      }
    } else if (FState == TState::msPadding) {
      const std::uint64_t left = kBlock - FUsed % kBlock;
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, count - used));
      used += n;
      FUsed += n;
      if (FUsed % kBlock == 0) FState = TState::msDone;
    } else {
      break;
    }
  }
  return used;
}

}  // namespace tarvo::unzip
