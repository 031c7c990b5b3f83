// Reading a tar stream as it arrives: the ustar and old GNU header formats in 512-byte
// blocks, GNU long names and link names, the path, linkpath and size records of pax
// extended headers (what bsdtar writes for long names), and sparse files in every form
// GNU tar writes them (see tar_sparse.h).
//
// The parser is a write-only stream: the bytes of the tar content are written into it in
// pieces of any size (from a file, an Inflate run or a bzip2 decoder), and it reports each
// entry to its consumer as it goes. Memory is fixed: a header block, and at most 64 KiB of
// long name or 1 MiB of pax records; nothing is allocated from a size the archive states.
//
// A header whose checksum is wrong, whose numbers are not numbers or lie beyond 2^63, or
// whose long-name record is too long, raises EVmReadError ("Error reading archive"). The
// first all-zero header block ends the archive; whatever follows it is ignored.
//
// A sparse entry is reported under its real name with its real size, and its data as the
// real file's: stored stretches through EntryData, holes through EntryHole. A sparse map
// that does not hold together, or whose holes exceed the budget, fails that entry alone
// (TVmTarEntry::Problem); its stored bytes are passed over and the next entry follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "unzip/tar_sparse.h"

namespace tarvo::unzip {

// The type flags an entry may carry that this library gives meaning to.
namespace tartype {
inline constexpr char kRegular = '0';
inline constexpr char kOldRegular = '\0';
inline constexpr char kHardLink = '1';
inline constexpr char kSymLink = '2';
inline constexpr char kCharDevice = '3';
inline constexpr char kBlockDevice = '4';
inline constexpr char kDirectory = '5';
inline constexpr char kFifo = '6';
inline constexpr char kContiguous = '7';
}  // namespace tartype

// Why an entry cannot be read although the archive goes on after it.
enum class TVmTarProblem { tpNone, tpBadSparseMap, tpSparseTooLarge };

struct TVmTarEntry {
  std::string Name;      // as stored ("./" prefixes removed), or from a long-name record
  std::string LinkName;  // target of a link
  char TypeFlag = tartype::kRegular;  // a sparse file's is kRegular
  std::uint64_t Size = 0;  // bytes of the file: the real size of a sparse file
  std::uint64_t StoredSize = 0;  // bytes of data the archive holds for it
  bool Sparse = false;
  TVmTarProblem Problem = TVmTarProblem::tpNone;
  std::uint32_t Mode = 0;  // permission bits and the like (07777)
  std::int64_t MTime = 0;  // seconds since the epoch

  bool IsDirectory() const noexcept;
  // Regular file content that can be extracted (regular and contiguous files, and type
  // flags this library does not know, which POSIX says to read as regular files).
  bool IsFile() const noexcept;
};

// What the parser reports. An entry's data arrives in pieces between Begin and End, a
// sparse file's holes as runs of zeros not written out; complete is false when the
// content ended before all of its data did. An entry with a Problem gets no data.
class TVmTarConsumer {
public:
  virtual ~TVmTarConsumer() = default;
  virtual void BeginEntry(const TVmTarEntry& entry) = 0;
  virtual void EntryData(const std::uint8_t* data, std::size_t count) = 0;
  virtual void EntryHole(std::uint64_t count) = 0;
  virtual void EndEntry(bool complete) = 0;
};

class TVmTarParser final : public core::TStream {
public:
  static constexpr std::size_t kBlock = 512;
  static constexpr std::size_t kMaxLongName = 64 * 1024;
  static constexpr std::size_t kMaxPaxRecords = 1024 * 1024;

  explicit TVmTarParser(TVmTarConsumer& consumer) : FConsumer(consumer) {}

  std::size_t Write(const void* buffer, std::size_t count) override;
  // Raises EStreamError: the parser only takes bytes.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Only reports the position (the bytes taken so far).
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;

  // Bytes the parser would take next without looking at them: the rest of an entry's data,
  // of a record it ignores, and the padding after either. A reader that can seek and whose
  // consumer ignores EntryData may pass over them with Skip instead of writing them.
  std::uint64_t Skippable() const noexcept;
  // Takes count bytes (at most Skippable()) as if written, without reporting their data.
  void Skip(std::uint64_t count);

  // The content has ended: an entry still waiting for data ends incomplete. A header cut
  // short raises EVmReadError (an all-zero remainder is taken as padding).
  void Finish();
  // True once the end-of-archive block was seen.
  bool Ended() const noexcept { return FState == TState::tsEnded; }
  // Bytes taken up to and including the end-of-archive block (all taken so far when the
  // archive has not ended, or ended without one): what a copy of the tar needs to hold.
  std::uint64_t EndOffset() const noexcept { return FEndSeen ? FEndOffset : static_cast<std::uint64_t>(FTaken); }
  std::size_t EntryCount() const noexcept { return FEntries; }

private:
  enum class TState {
    tsHeader, tsData, tsLongName, tsLongLink, tsPax, tsSkip, tsPadding,
    tsSparseExtension,  // old GNU sparse extension blocks, before the data
    tsSparseMap,        // the format 1.0 map at the start of the data
    tsEnded
  };

  void TakeHeader();
  void ApplyPax();
  void ApplySparseRecord(std::string_view key, std::string_view value);
  void StartRecord(TState state, std::uint64_t size, std::size_t limit);
  // Old GNU sparse array: count entries of 24 bytes at p, up to the first empty one.
  void TakeOldSparse(const std::uint8_t* p, std::size_t count);
  void TakeSparseExtension();
  // The header and its records are all read: check the map (or read it first), then begin.
  void StartSparse();
  void CheckAndBegin();
  void BeginData();
  void SparseData(const std::uint8_t* p, std::size_t n);
  // Holes and empty chunks up to the next stored byte (or to the end of the file).
  void SparseAdvance(bool toEnd);
  void EndData();
  void ClearRecords();

  TVmTarConsumer& FConsumer;
  TState FState = TState::tsHeader;
  std::uint8_t FBlock[kBlock]{};
  std::size_t FBlockFill = 0;
  std::uint64_t FRemaining = 0;  // data, record or skip bytes still to come
  std::uint64_t FPadding = 0;    // bytes up to the next block boundary
  std::string FRecord;           // long name, long link or pax records being collected
  std::string FLongName, FLongLink;
  std::string FPaxPath, FPaxLink;
  bool FHavePaxSize = false;
  std::uint64_t FPaxSize = 0;
  // GNU sparse records of the pending pax header.
  struct TSparseRecords {
    bool Any = false;     // some GNU.sparse record was seen
    bool Bad = false;     // one of them could not be read
    bool HaveMajor = false, HaveRealSize = false, HaveBlocks = false, PendingOffset = false;
    std::uint64_t Major = 0, Minor = 0, RealSize = 0, Blocks = 0;
    std::string Name;
    std::vector<TVmSparseChunk> Chunks;
  } FSparse;
  // The entry whose map or extension blocks are being read, or whose data is flowing.
  TVmTarEntry FEntry;
  std::vector<TVmSparseChunk> FChunks;
  bool FOldSparseBad = false;
  TVmSparseMapReader FMapReader;
  std::size_t FChunkIndex = 0;
  std::uint64_t FChunkLeft = 0;  // stored bytes of the current chunk still to come
  std::uint64_t FLogical = 0;    // position in the real file
  std::int64_t FTaken = 0;
  bool FEndSeen = false;
  std::uint64_t FEndOffset = 0;
  std::size_t FEntries = 0;
};

// True when a 512-byte block is a tar header: its checksum (unsigned or, as old writers
// made it, signed byte sum) matches.
bool IsTarHeader(const std::uint8_t* block) noexcept;

}  // namespace tarvo::unzip
