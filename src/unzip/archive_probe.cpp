#include "unzip/archive_probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/scope_guard.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "unzip/byte_order.h"
#include "unzip/zip_format.h"

namespace tarvo::unzip {

using core::TSeekOrigin;
using core::TStream;

namespace {

// Restores a stream's position when a probe ends, however it ends (a failure to seek back
// is dropped: the probe's answer stands).
[[nodiscard]] auto KeepPosition(TStream& stream) {
  return core::TScopeGuard([&stream, position = stream.Position()] { stream.SetPosition(position); });
}

// Reads up to count bytes at offset; returns how many arrived (0 on any failure).
std::size_t ReadAt(TStream& stream, std::int64_t offset, void* buffer, std::size_t count) {
  try {
    stream.SetPosition(offset);
    std::size_t done = 0;
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
      std::size_t n = stream.Read(p + done, count - done);
      if (n == 0) break;
      done += n;
    }
    return done;
  } catch (const core::Exception&) {
    return 0;
  }
}

std::string UpperExtension(const std::string& fileName) {
  std::size_t slash = fileName.find_last_of(platform::kPathDelimiters);
  std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

TVmArchiveType TypeFromExtension(const std::string& ext) {
  if (ext == ".ZIP" || ext == ".JAR") return TVmArchiveType::atZip;
  if (ext == ".EXE") return TVmArchiveType::atSelfExtZip;
  if (ext == ".TAR") return TVmArchiveType::atTar;
  if (ext == ".GZ") return TVmArchiveType::atGzip;
  if (ext == ".TGZ") return TVmArchiveType::atGzippedTar;
  if (ext == ".CAB") return TVmArchiveType::atCab;
  if (ext == ".BZ2") return TVmArchiveType::atBzip2;
  if (ext == ".TBZ") return TVmArchiveType::atBzippedTar;
  return TVmArchiveType::atUnknown;
}

bool IsExecutableStart(const std::uint8_t* head, std::size_t n) {
  if (n >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') return true;
  return n >= 2 && head[0] == 'M' && head[1] == 'Z';
}

// Tar header checksum: the octal number at offset 148 equals the byte sum of the header
// with the checksum field read as blanks.
bool TarChecksumMatches(const std::uint8_t* block) {
  unsigned long stored = 0;
  bool digits = false;
  for (int i = 148; i < 156; ++i) {
    std::uint8_t c = block[i];
    if (c >= '0' && c <= '7') {
      stored = stored * 8 + (c - '0');
      digits = true;
    } else if (c == ' ' || c == 0) {
      if (digits) break;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  unsigned long sum = 0;
  for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : block[i];
  return sum == stored;
}

}  // namespace

std::uint64_t LocateDirectoryEnd(TStream& stream) {
  constexpr std::size_t kRecord = zipfmt::kEndOfDirectorySize;
  constexpr std::int64_t kFirstWindow = 512;
  constexpr std::int64_t kLargestWindow = 65536;

  const std::int64_t entryPosition = stream.Position();
  const std::int64_t size = stream.Size();
  std::uint8_t record[kRecord];

  // The common case: no archive comment, the record is the last 22 bytes.
  if (size >= static_cast<std::int64_t>(kRecord) &&
      ReadAt(stream, size - static_cast<std::int64_t>(kRecord), record, kRecord) == kRecord &&
      GetLE32(record) == zipfmt::kEndOfDirectorySignature && GetLE16(record + 20) == 0) {
    stream.SetPosition(size - static_cast<std::int64_t>(kRecord));
    return static_cast<std::uint64_t>(size - static_cast<std::int64_t>(kRecord));
  }

  std::int64_t window = kFirstWindow;
  std::int64_t back = kFirstWindow;  // distance of the window start from the end
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(window));
  for (;;) {
    std::int64_t start = size - back;
    bool reachedBeginning = false;
    if (start <= 0) {
      start = 0;
      reachedBeginning = true;
    }
    std::size_t got = ReadAt(stream, start, buffer.data(), static_cast<std::size_t>(window));
    if (got < kRecord) break;
    for (std::size_t i = got - kRecord + 1; i-- > 0;) {
      if (GetLE32(buffer.data() + i) != zipfmt::kEndOfDirectorySignature) continue;
      std::int64_t recordOffset = start + static_cast<std::int64_t>(i);
      std::int64_t following = size - recordOffset - static_cast<std::int64_t>(kRecord);
      if (following >= GetLE16(buffer.data() + i + 20)) {
        stream.SetPosition(recordOffset);
        return static_cast<std::uint64_t>(recordOffset);
      }
      // A signature whose comment would run past the end is a look-alike (inside a
      // comment, say): go on with the lower hits, so that the real record behind it is
      // found even when the whole file fits in this window.
    }
    if (window < kLargestWindow) {
      window = std::min(window * 2, kLargestWindow);
      buffer.assign(static_cast<std::size_t>(window), 0);
    }
    back += window - static_cast<std::int64_t>(kRecord);
    if (reachedBeginning) break;
  }
  try {
    stream.SetPosition(entryPosition);
  } catch (const core::Exception&) {
  }
  return kNotFound;
}

TVmArchiveType ProbeZip(TStream& stream) {
  try {
    auto guard = KeepPosition(stream);
    std::uint8_t head[4];
    if (ReadAt(stream, 0, head, 4) == 4 && GetLE32(head) == zipfmt::kDataDescriptorSignature)
      return TVmArchiveType::atSpannedZip;
    std::uint64_t at = LocateDirectoryEnd(stream);
    if (at == kNotFound) return TVmArchiveType::atUnknown;
    std::uint8_t record[zipfmt::kEndOfDirectorySize];
    if (ReadAt(stream, static_cast<std::int64_t>(at), record, sizeof record) != sizeof record ||
        GetLE32(record) != zipfmt::kEndOfDirectorySignature)
      return TVmArchiveType::atUnknown;
    return GetLE16(record + 4) == 0 ? TVmArchiveType::atZip : TVmArchiveType::atSpannedZip;
  } catch (const core::Exception&) {
    return TVmArchiveType::atUnknown;
  }
}

TVmArchiveType ProbeSelfExtractingZip(TStream& stream) {
  try {
    auto guard = KeepPosition(stream);
    std::uint8_t head[4];
    std::size_t n = ReadAt(stream, 0, head, 4);
    if (!IsExecutableStart(head, n)) return TVmArchiveType::atUnknown;
  } catch (const core::Exception&) {
    return TVmArchiveType::atUnknown;
  }
  return ProbeZip(stream) == TVmArchiveType::atZip ? TVmArchiveType::atSelfExtZip : TVmArchiveType::atUnknown;
}

TVmArchiveType ProbeTar(TStream& stream) {
  try {
    auto guard = KeepPosition(stream);
    std::uint8_t block[512];
    if (ReadAt(stream, 0, block, sizeof block) != sizeof block) return TVmArchiveType::atUnknown;
    // ustar (POSIX) and old GNU ("ustar  \0") both carry "ustar" at 257; older headers
    // are recognised by their checksum alone.
    if (std::memcmp(block + 257, "ustar", 5) == 0 || TarChecksumMatches(block)) return TVmArchiveType::atTar;
  } catch (const core::Exception&) {
  }
  return TVmArchiveType::atUnknown;
}

TVmArchiveType ProbeGzip(TStream& stream, TVmArchiveType kind) {
  try {
    auto guard = KeepPosition(stream);
    std::uint8_t head[3];
    // ID1 ID2 and compression method 8 (deflate), the only one gzip defines.
    if (ReadAt(stream, 0, head, 3) == 3 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 8) return kind;
  } catch (const core::Exception&) {
  }
  return TVmArchiveType::atUnknown;
}

TVmArchiveType ProbeBzip2(TStream& stream, TVmArchiveType kind) {
  try {
    auto guard = KeepPosition(stream);
    std::uint8_t head[10];
    // "BZh", the block size digit 1-9, then the first block's magic 31 41 59 26 53 59.
    static const std::uint8_t kBlockMagic[6] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
    if (ReadAt(stream, 0, head, 10) == 10 && head[0] == 'B' && head[1] == 'Z' && head[2] == 'h' && head[3] >= '1' &&
        head[3] <= '9' && std::memcmp(head + 4, kBlockMagic, 6) == 0)
      return kind;
  } catch (const core::Exception&) {
  }
  return TVmArchiveType::atUnknown;
}

TVmArchiveType ProbeCab(TStream& stream) {
  try {
    auto guard = KeepPosition(stream);
    std::uint8_t head[8];
    // "MSCF" followed by a reserved 32-bit zero.
    if (ReadAt(stream, 0, head, 8) == 8 && std::memcmp(head, "MSCF", 4) == 0 && GetLE32(head + 4) == 0)
      return TVmArchiveType::atCab;
  } catch (const core::Exception&) {
  }
  return TVmArchiveType::atUnknown;
}

TVmArchiveType GuessArchiveKind(const std::string& fileName, TVmArchiveType forcedType) {
  if (forcedType != TVmArchiveType::atUnknown) return forcedType;
  TVmArchiveType guess = TypeFromExtension(UpperExtension(fileName));
  if (platform::FileSizeOf(fileName) <= 0) return guess;

  core::TFileStream file(fileName, core::fmOpenRead | core::fmShareDenyNone);
  switch (guess) {
    case TVmArchiveType::atZip: return ProbeZip(file);
    case TVmArchiveType::atSelfExtZip: return ProbeSelfExtractingZip(file);
    case TVmArchiveType::atTar: return ProbeTar(file);
    case TVmArchiveType::atGzip:
    case TVmArchiveType::atGzippedTar: return ProbeGzip(file, guess);
    case TVmArchiveType::atCab: return ProbeCab(file);
    case TVmArchiveType::atBzip2:
    case TVmArchiveType::atBzippedTar: return ProbeBzip2(file, guess);
    default: break;
  }
  for (auto probe : {ProbeSelfExtractingZip, ProbeZip, ProbeTar}) {
    TVmArchiveType t = probe(file);
    if (t != TVmArchiveType::atUnknown) return t;
  }
  TVmArchiveType t = ProbeGzip(file);
  if (t == TVmArchiveType::atUnknown) t = ProbeBzip2(file);
  if (t == TVmArchiveType::atUnknown) t = ProbeCab(file);
  return t;
}

}  // namespace tarvo::unzip
