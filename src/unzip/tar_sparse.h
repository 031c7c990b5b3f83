// The map of a sparse tar entry: which stretches of the real file the archive stores, in
// file order; everything between them is a hole that reads as zeros.
//
// GNU tar writes the map in four ways, all of which end up here as a list of chunks:
//   old GNU ('S' header)  offset/numbytes pairs in the header and in extension blocks
//                         after it, the real size in the header's realsize field;
//   pax 0.0               "GNU.sparse.offset" and "GNU.sparse.numbytes" records, repeated;
//   pax 0.1               one record "GNU.sparse.map" = "offset,size[,offset,size...]";
//   pax 1.0               at the start of the data, in decimal lines (TVmSparseMapReader).
// The pax forms give the real size in "GNU.sparse.size" or "GNU.sparse.realsize".
//
// An archive states both the map and how many bytes it stores; they must agree, and the
// holes the map makes are bounded (kSparseHoleRatio), so that a few blocks of archive
// cannot stand for a terabyte file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarvo::unzip {

struct TVmSparseChunk {
  std::uint64_t Offset = 0;  // where the stored bytes go in the real file
  std::uint64_t Size = 0;    // how many stored bytes
};

// At most this many chunks per entry (16 bytes each: 4 MiB). GNU tar writes one chunk per
// run of data; a file with more runs than this is far beyond what an installer carries.
inline constexpr std::size_t kMaxSparseChunks = 1u << 18;
// The holes of an entry may add up to at most kSparseHoleRatio times its stored bytes
// plus kSparseHoleAllowance: the same expansion Deflate allows at most (about 1032 to 1),
// and room for small files that are mostly empty.
inline constexpr std::uint64_t kSparseHoleRatio = 1024;
inline constexpr std::uint64_t kSparseHoleAllowance = 16u << 20;

enum class TVmSparseCheck {
  scGood,
  scBadMap,    // chunks overlap, go backwards, reach past the real size, or their sizes
               // do not add up to the bytes stored
  scTooLarge,  // the holes exceed the budget above
};

// Checks chunks against the real size and the number of data bytes the archive stores.
TVmSparseCheck CheckSparseMap(const std::vector<TVmSparseChunk>& chunks, std::uint64_t realSize,
                              std::uint64_t storedData) noexcept;

// A decimal number of a pax record (digits only, at most 2^63 - 1); false for anything else.
bool ParseDecimal(std::string_view text, std::uint64_t& value) noexcept;

// The value of "GNU.sparse.map": "offset,size[,offset,size...]". False when it is not
// such a list or holds more than kMaxSparseChunks chunks.
bool ParseSparseMapText(std::string_view text, std::vector<TVmSparseChunk>& chunks);

// Reads the map that format 1.0 puts at the start of an entry's data, as it arrives:
//   <count>\n  then  <offset>\n<size>\n  count times,  then zeros up to a 512-byte boundary.
// Memory is the chunk list alone (at most kMaxSparseChunks).
class TVmSparseMapReader {
public:
  // Takes up to count bytes and returns how many it used: all of them while the map goes
  // on, fewer once it is complete (padding included) or has failed.
  std::size_t Take(const std::uint8_t* data, std::size_t count);
  bool Done() const noexcept { return FState == TState::msDone; }
  bool Failed() const noexcept { return FState == TState::msFailed; }
  // Bytes used so far.
  std::uint64_t Used() const noexcept { return FUsed; }
  std::vector<TVmSparseChunk> Chunks;

private:
  enum class TState { msNumbers, msPadding, msDone, msFailed };
  void EndNumber();

  TState FState = TState::msNumbers;
  std::uint64_t FUsed = 0;
  std::uint64_t FValue = 0;
  unsigned FDigits = 0;
  std::uint64_t FCount = 0;
  std::uint64_t FNumbers = 0;  // numbers read, the count included
};

}  // namespace tarvo::unzip
