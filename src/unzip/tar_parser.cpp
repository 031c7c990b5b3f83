#include "unzip/tar_parser.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/exception.h"
#include "unzip/tar_sparse.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

constexpr std::uint64_t kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

// A numeric header field: octal digits (leading blanks, ended by a blank, a NUL or the
// field's end), or GNU's base-256 form (first byte 80h positive, FFh negative, then the
// value big-endian). False for anything else and for values beyond 2^63 - 1.
bool ParseNumber(const std::uint8_t* field, std::size_t width, std::uint64_t& value, bool& negative) {
  value = 0;
  negative = false;
  if (field[0] == 0x80 || field[0] == 0xFF) {
    negative = field[0] == 0xFF;
    for (std::size_t i = 1; i < width; ++i) {
      std::uint8_t b = negative ? static_cast<std::uint8_t>(~field[i]) : field[i];
      if (value > (kLargest >> 8)) return false;
      value = value << 8 | b;
    }
    if (negative) value += 1;  // two's complement magnitude
    return value <= kLargest;
  }
  std::size_t i = 0;
  while (i < width && field[i] == ' ') ++i;
  for (; i < width; ++i) {
    std::uint8_t c = field[i];
    if (c == ' ' || c == 0) break;
    if (c < '0' || c > '7' || value > (kLargest >> 3)) return false;
    value = value << 3 | (c - '0');
  }
  for (; i < width; ++i)
    if (field[i] != ' ' && field[i] != 0) return false;
  return true;
}

std::uint64_t NumberField(const std::uint8_t* field, std::size_t width) {
  std::uint64_t value;
  bool negative;
  if (!ParseNumber(field, width, value, negative) || negative) throw EVmReadError();
  return value;
}

std::string TextField(const std::uint8_t* field, std::size_t width) {
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(field, 0, width));
  return std::string(reinterpret_cast<const char*>(field), end ? static_cast<std::size_t>(end - field) : width);
}

// Archives made with "tar -C dir ." name everything "./x": the prefix says nothing.
std::string WithoutDotSlash(std::string name) {
  std::size_t skip = 0;
  while (name.compare(skip, 2, "./") == 0) {
    skip += 2;
    while (skip < name.size() && name[skip] == '/') ++skip;
  }
  name.erase(0, skip);
  return name;
}

bool AllZero(const std::uint8_t* p, std::size_t n) {
  return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}

// GNU tar stores a sparse file of formats 0.1 and 1.0 as "<dir>/GNUSparseFile.<n>/<name>"
// so that readers without sparse support do not overwrite the real file with its condensed
// data; the real name is "<dir>/<name>".
std::string WithoutSparseFolder(const std::string& name) {
  const std::size_t last = name.rfind('/');
  if (last == std::string::npos || last == 0) return name;
  const std::size_t begin = name.rfind('/', last - 1) + 1;  // npos + 1 == 0
  std::string_view folder(name.data() + begin, last - begin);
  constexpr std::string_view kPrefix = "GNUSparseFile.";
  if (folder.substr(0, kPrefix.size()) != kPrefix) return name;
  const std::string_view digits = folder.substr(kPrefix.size());
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return name;
  return name.substr(0, begin) + name.substr(last + 1);
}

// Old GNU header fields (offsets in the 512-byte block).
constexpr std::size_t kOldSparseArray = 386;    // 4 entries of offset[12], numbytes[12]
constexpr std::size_t kOldSparseEntries = 4;
constexpr std::size_t kOldIsExtended = 482;     // nonzero: an extension block follows
constexpr std::size_t kOldRealSize = 483;       // realsize[12]
constexpr std::size_t kExtensionEntries = 21;   // per extension block, then isextended
constexpr std::size_t kExtensionIsExtended = 504;

}  // namespace

bool IsTarHeader(const std::uint8_t* block) noexcept {
  std::uint64_t stored;
  bool negative;
  if (AllZero(block + 148, 8) || !ParseNumber(block + 148, 8, stored, negative) || negative) return false;
  std::uint64_t unsignedSum = 0;
  std::int64_t signedSum = 0;
  for (std::size_t i = 0; i < TVmTarParser::kBlock; ++i) {
    std::uint8_t b = (i >= 148 && i < 156) ? ' ' : block[i];
    unsignedSum += b;
    signedSum += static_cast<std::int8_t>(b);
  }
  return stored == unsignedSum || static_cast<std::int64_t>(stored) == signedSum;
}

bool TVmTarEntry::IsDirectory() const noexcept {
  return TypeFlag == tartype::kDirectory || TypeFlag == 'D' ||
         ((TypeFlag == tartype::kRegular || TypeFlag == tartype::kOldRegular) && !Name.empty() && Name.back() == '/');
}

bool TVmTarEntry::IsFile() const noexcept {
  if (IsDirectory()) return false;
  switch (TypeFlag) {
    case tartype::kHardLink:
    case tartype::kSymLink:
    case tartype::kCharDevice:
    case tartype::kBlockDevice:
    case tartype::kFifo:
    case 'M':  // continuation of a file from another volume
      return false;
    default: return true;
  }
}

std::size_t TVmTarParser::Read(void*, std::size_t) { throw core::EReadError(); }

std::int64_t TVmTarParser::Seek(std::int64_t, core::TSeekOrigin) { return FTaken; }

void TVmTarParser::StartRecord(TState state, std::uint64_t size, std::size_t limit) {
  if (size > limit) throw EVmReadError();
  FRecord.clear();
  FRemaining = size;
  FPadding = (kBlock - size % kBlock) % kBlock;
  FState = size ? state : (FPadding ? TState::tsPadding : TState::tsHeader);
  if (!size && state != TState::tsSkip) {
    // An empty record still counts: finish it now.
    if (state == TState::tsLongName) FLongName.clear();
    if (state == TState::tsLongLink) FLongLink.clear();
  }
}

void TVmTarParser::ApplySparseRecord(std::string_view key, std::string_view value) {
  TSparseRecords& r = FSparse;
  std::uint64_t number = 0;
  if (key == "GNU.sparse.name") {
    r.Name.assign(value);
    return;
  }
  if (key == "GNU.sparse.map") {
    r.Any = true;
    if (!ParseSparseMapText(value, r.Chunks)) r.Bad = true;
    return;
  }
  const bool numeric = ParseDecimal(value, number);
  if (key == "GNU.sparse.major") {
    r.HaveMajor = true;
    r.Major = number;
  } else if (key == "GNU.sparse.minor") {
    r.Minor = number;
  } else if (key == "GNU.sparse.size" || key == "GNU.sparse.realsize") {
    r.HaveRealSize = true;
    r.RealSize = number;
  } else if (key == "GNU.sparse.numblocks") {
    r.HaveBlocks = true;
    r.Blocks = number;
  } else if (key == "GNU.sparse.offset") {
    // Format 0.0 repeats the pair: every offset is followed by its size.
    if (r.PendingOffset || r.Chunks.size() == kMaxSparseChunks) r.Bad = true;
    if (!r.Bad) r.Chunks.push_back({number, 0});
    r.PendingOffset = true;
  } else if (key == "GNU.sparse.numbytes") {
    if (!r.PendingOffset) r.Bad = true;
    if (!r.Bad) r.Chunks.back().Size = number;
    r.PendingOffset = false;
  } else {
    return;  // a record of a later format: no bearing on the data
  }
  r.Any = true;
  if (!numeric) r.Bad = true;
}

void TVmTarParser::ApplyPax() {
  // Records are "<length> <key>=<value>\n", the length counting the whole record.
  std::size_t at = 0;
  while (at < FRecord.size()) {
    std::size_t space = FRecord.find(' ', at);
    if (space == std::string::npos || space == at || space - at > 7) throw EVmReadError();
    std::size_t length = 0;
    for (std::size_t i = at; i < space; ++i) {
      if (FRecord[i] < '0' || FRecord[i] > '9') throw EVmReadError();
      length = length * 10 + static_cast<std::size_t>(FRecord[i] - '0');
    }
    if (length < space - at + 3 || length > FRecord.size() - at || FRecord[at + length - 1] != '\n')
      throw EVmReadError();
    std::string_view record(FRecord.data() + space + 1, at + length - 1 - (space + 1));
    std::size_t eq = record.find('=');
    if (eq == std::string_view::npos) throw EVmReadError();
    std::string_view key = record.substr(0, eq), value = record.substr(eq + 1);
    if (key == "path") {
      FPaxPath.assign(value);
    } else if (key == "linkpath") {
      FPaxLink.assign(value);
    } else if (key == "size") {
      std::uint64_t size = 0;
      if (!ParseDecimal(value, size)) throw EVmReadError();
      FPaxSize = size;
      FHavePaxSize = true;
    } else if (key.substr(0, 11) == "GNU.sparse.") {
      ApplySparseRecord(key, value);
    }
    at += length;
  }
}

void TVmTarParser::TakeOldSparse(const std::uint8_t* p, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, p += 24) {
    if (p[0] == 0) return;
    std::uint64_t offset, size;
    bool negative1, negative2;
    if (!ParseNumber(p, 12, offset, negative1) || !ParseNumber(p + 12, 12, size, negative2) || negative1 ||
        negative2 || FChunks.size() == kMaxSparseChunks) {
      FOldSparseBad = true;
      continue;
    }
    FChunks.push_back({offset, size});
  }
}

void TVmTarParser::TakeSparseExtension() {
  TakeOldSparse(FBlock, kExtensionEntries);
  if (FBlock[kExtensionIsExtended] == 0) {
    if (FOldSparseBad) FEntry.Problem = TVmTarProblem::tpBadSparseMap;
    CheckAndBegin();
  }
}

void TVmTarParser::ClearRecords() {
  FLongName.clear();
  FLongLink.clear();
  FPaxPath.clear();
  FPaxLink.clear();
  FHavePaxSize = false;
  FSparse = TSparseRecords();
}

void TVmTarParser::TakeHeader() {
  if (AllZero(FBlock, kBlock)) {
    FState = TState::tsEnded;
    return;
  }
  if (!IsTarHeader(FBlock)) throw EVmReadError();
  const char type = static_cast<char>(FBlock[156]);
  std::uint64_t size = NumberField(FBlock + 124, 12);
  switch (type) {
    case 'L': StartRecord(TState::tsLongName, size, kMaxLongName); return;
    case 'K': StartRecord(TState::tsLongLink, size, kMaxLongName); return;
    case 'x': StartRecord(TState::tsPax, size, kMaxPaxRecords); return;
    case 'g':  // global pax records: nothing in them changes what is extracted
    case 'V':  // volume label
      StartRecord(TState::tsSkip, size, std::numeric_limits<std::size_t>::max());
      return;
    default: break;
  }

  TVmTarEntry entry;
  entry.TypeFlag = type;
  if (!FPaxPath.empty()) {
    entry.Name = FPaxPath;
  } else if (!FLongName.empty()) {
    entry.Name = FLongName;
  } else {
    entry.Name = TextField(FBlock, 100);
    // POSIX ustar keeps the leading folders of a long name in the prefix field; the old
    // GNU format ("ustar  ") has access times there instead.
    if (std::memcmp(FBlock + 257, "ustar\0", 6) == 0) {
      std::string prefix = TextField(FBlock + 345, 155);
      if (!prefix.empty()) entry.Name = prefix + "/" + entry.Name;
    }
  }
  entry.LinkName = !FPaxLink.empty() ? FPaxLink : !FLongLink.empty() ? FLongLink : TextField(FBlock + 157, 100);
  if (FHavePaxSize) size = FPaxSize;
  entry.Mode = static_cast<std::uint32_t>(NumberField(FBlock + 100, 8) & 07777);
  std::uint64_t mtime;
  bool negative;
  if (ParseNumber(FBlock + 136, 12, mtime, negative) && !negative) entry.MTime = static_cast<std::int64_t>(mtime);

  // Links, devices, FIFOs and directories carry no data, whatever their size field says.
  if (std::strchr("123456", type) && type != 0) size = 0;
  entry.Size = entry.StoredSize = size;
  FEntry = std::move(entry);
  FRemaining = size;
  FPadding = (kBlock - size % kBlock) % kBlock;
  ++FEntries;

  const bool oldSparse = type == 'S';
  const bool paxSparse = FSparse.Any && FEntry.IsFile();
  if (!oldSparse && !paxSparse) {
    FEntry.Name = WithoutDotSlash(std::move(FEntry.Name));
    ClearRecords();
    FConsumer.BeginEntry(FEntry);
    BeginData();
    return;
  }
  FEntry.Sparse = true;
  FEntry.TypeFlag = tartype::kRegular;
  FChunks.clear();
  FOldSparseBad = false;
  if (oldSparse) {
    FEntry.Name = WithoutDotSlash(std::move(FEntry.Name));
    ClearRecords();
    std::uint64_t realSize;
    bool realNegative;
    TakeOldSparse(FBlock + kOldSparseArray, kOldSparseEntries);
    if (ParseNumber(FBlock + kOldRealSize, 12, realSize, realNegative) && !realNegative) {
      FEntry.Size = realSize;
    } else {
      FOldSparseBad = true;
    }
    // The flag says whether extension blocks follow, whatever the array holds.
    if (FBlock[kOldIsExtended] != 0) {
      FState = TState::tsSparseExtension;
      return;
    }
    if (FOldSparseBad) FEntry.Problem = TVmTarProblem::tpBadSparseMap;
    CheckAndBegin();
    return;
  }
  StartSparse();
}

void TVmTarParser::StartSparse() {
  TSparseRecords r = std::move(FSparse);
  ClearRecords();
  FEntry.Name = WithoutDotSlash(r.Name.empty() ? WithoutSparseFolder(FEntry.Name) : r.Name);
  FEntry.Size = r.RealSize;
  const bool version1 = r.HaveMajor && r.Major == 1 && r.Minor == 0;
  // Format 0.x: the map is in the records; 1.0: it opens the data. Anything else (a version
  // not known, a record that could not be read, a missing size or map) fails the entry.
  if (r.Bad || !r.HaveRealSize || (r.HaveMajor && r.Major != 0 && !version1) || r.PendingOffset ||
      (!version1 && r.HaveBlocks && r.Blocks != r.Chunks.size())) {
    FEntry.Problem = TVmTarProblem::tpBadSparseMap;
    CheckAndBegin();
    return;
  }
  if (!version1) {
    FChunks = std::move(r.Chunks);
    CheckAndBegin();
    return;
  }
  FMapReader = TVmSparseMapReader();
  FState = TState::tsSparseMap;
  if (FRemaining == 0) {
    FEntry.Problem = TVmTarProblem::tpBadSparseMap;
    CheckAndBegin();
  }
}

void TVmTarParser::CheckAndBegin() {
  // FRemaining is what is left of the stored bytes: the chunks' data.
  if (FEntry.Problem == TVmTarProblem::tpNone) {
    switch (CheckSparseMap(FChunks, FEntry.Size, FRemaining)) {
      case TVmSparseCheck::scGood: break;
      case TVmSparseCheck::scBadMap: FEntry.Problem = TVmTarProblem::tpBadSparseMap; break;
      case TVmSparseCheck::scTooLarge: FEntry.Problem = TVmTarProblem::tpSparseTooLarge; break;
    }
  }
  FConsumer.BeginEntry(FEntry);
  if (FEntry.Problem != TVmTarProblem::tpNone) {
    // Reported, no data: its stored bytes are passed over.
    FConsumer.EndEntry(true);
    FChunks.clear();
    FState = FRemaining ? TState::tsSkip : FPadding ? TState::tsPadding : TState::tsHeader;
    return;
  }
  FChunkIndex = 0;
  FChunkLeft = 0;
  FLogical = 0;
  BeginData();
}

void TVmTarParser::BeginData() {
  if (FRemaining == 0) {
    EndData();
    return;
  }
  FState = TState::tsData;
}

void TVmTarParser::SparseAdvance(bool toEnd) {
  while (FChunkLeft == 0 && FChunkIndex < FChunks.size()) {
    const TVmSparseChunk& c = FChunks[FChunkIndex++];
    if (c.Offset > FLogical) FConsumer.EntryHole(c.Offset - FLogical);
    FLogical = c.Offset;
    FChunkLeft = c.Size;
  }
  if (toEnd && FEntry.Size > FLogical) {
    FConsumer.EntryHole(FEntry.Size - FLogical);
    FLogical = FEntry.Size;
  }
}

void TVmTarParser::SparseData(const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    SparseAdvance(false);
    // The map was checked against the stored size: there is always a chunk to fill.
    if (FChunkLeft == 0) throw EVmReadError();
    const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, FChunkLeft));
    FConsumer.EntryData(p, k);
    FChunkLeft -= k;
    FLogical += k;
    p += k;
    n -= k;
  }
}

void TVmTarParser::EndData() {
  if (FEntry.Sparse) {
    SparseAdvance(true);
    FChunks.clear();
  }
  FConsumer.EndEntry(true);
  FState = FPadding ? TState::tsPadding : TState::tsHeader;
}

std::size_t TVmTarParser::Write(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  std::size_t left = count;
  while (left > 0 && FState != TState::tsEnded) {
    std::size_t n;
    if (FState == TState::tsHeader || FState == TState::tsSparseExtension) {
      n = std::min(left, kBlock - FBlockFill);
      std::memcpy(FBlock + FBlockFill, p, n);
      FBlockFill += n;
      if (FBlockFill == kBlock) {
        FBlockFill = 0;
        if (FState == TState::tsHeader)
          TakeHeader();
        else
          TakeSparseExtension();
      }
    } else if (FState == TState::tsPadding) {
      n = static_cast<std::size_t>(std::min<std::uint64_t>(left, FPadding));
      FPadding -= n;
      if (FPadding == 0) FState = TState::tsHeader;
    } else if (FState == TState::tsSparseMap) {
      n = FMapReader.Take(p, static_cast<std::size_t>(std::min<std::uint64_t>(left, FRemaining)));
      FRemaining -= n;
      if (FMapReader.Done()) {
        FChunks = std::move(FMapReader.Chunks);
        CheckAndBegin();
      } else if (FMapReader.Failed() || FRemaining == 0) {
        FEntry.Problem = TVmTarProblem::tpBadSparseMap;
        CheckAndBegin();
      }
    } else {
      n = static_cast<std::size_t>(std::min<std::uint64_t>(left, FRemaining));
      if (FState == TState::tsData) {
        if (FEntry.Sparse)
          SparseData(p, n);
        else
          FConsumer.EntryData(p, n);
      } else if (FState != TState::tsSkip) {
        FRecord.append(reinterpret_cast<const char*>(p), n);
      }
      FRemaining -= n;
      if (FRemaining == 0) {
        if (FState == TState::tsData) {
          EndData();
        } else {
          if (FState == TState::tsLongName)
            FLongName = TextField(reinterpret_cast<const std::uint8_t*>(FRecord.data()), FRecord.size());
          if (FState == TState::tsLongLink)
            FLongLink = TextField(reinterpret_cast<const std::uint8_t*>(FRecord.data()), FRecord.size());
          if (FState == TState::tsPax) ApplyPax();
          FRecord.clear();
          FState = FPadding ? TState::tsPadding : TState::tsHeader;
        }
      }
    }
    p += n;
    left -= n;
    if (FState == TState::tsEnded && !FEndSeen) {
      FEndSeen = true;
      FEndOffset = static_cast<std::uint64_t>(FTaken) + (count - left);
    }
  }
  FTaken += static_cast<std::int64_t>(count);
  return count;
}

std::uint64_t TVmTarParser::Skippable() const noexcept {
  switch (FState) {
    case TState::tsData:
    case TState::tsSkip: return FRemaining + FPadding;
    case TState::tsPadding: return FPadding;
    default: return 0;
  }
}

void TVmTarParser::Skip(std::uint64_t count) {
  count = std::min(count, Skippable());
  FTaken += static_cast<std::int64_t>(count);
  if (FState == TState::tsData || FState == TState::tsSkip) {
    const std::uint64_t n = std::min(count, FRemaining);
    FRemaining -= n;
    count -= n;
    if (FRemaining > 0) return;
    if (FState == TState::tsData) {
      FChunks.clear();
      FConsumer.EndEntry(true);
    }
    FState = FPadding ? TState::tsPadding : TState::tsHeader;
  }
  if (FState == TState::tsPadding) {
    FPadding -= count;
    if (FPadding == 0) FState = TState::tsHeader;
  }
}

void TVmTarParser::Finish() {
  if (FState == TState::tsData) {
    FState = TState::tsEnded;
    FConsumer.EndEntry(false);
    return;
  }
  if (FState == TState::tsSparseMap || FState == TState::tsSparseExtension) {
    // The content ended inside the map: the entry is there, its map is not.
    FState = TState::tsEnded;
    FEntry.Problem = TVmTarProblem::tpBadSparseMap;
    FConsumer.BeginEntry(FEntry);
    FConsumer.EndEntry(false);
    return;
  }
  if (FState == TState::tsHeader && FBlockFill > 0 && !AllZero(FBlock, FBlockFill)) throw EVmReadError();
  FState = TState::tsEnded;
}

}  // namespace tarvo::unzip
