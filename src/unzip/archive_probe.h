// Deciding what kind of archive a file is, and finding the end of a ZIP central directory.
//
// GuessArchiveKind starts from the extension and lets the signature probe of that kind
// decide: an extension alone never makes a type. The probes never raise for read errors
// (a failing read means "not this kind") and always restore the stream's position.
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"
#include "unzip/archive_types.h"

namespace tarvo::unzip {

// The type of a file by name: forcedType when it is not atUnknown; otherwise the extension
// (.ZIP/.JAR zip, .EXE self-extracting, .TAR, .GZ, .TGZ, .CAB, .BZ2, .TBZ) confirmed by its
// probe, or, for other extensions, the first probe that recognises the content. A missing
// or empty file gives the extension's guess. Raises the file stream's open error when the
// file exists but cannot be opened.
TVmArchiveType GuessArchiveKind(const std::string& fileName, TVmArchiveType forcedType = TVmArchiveType::atUnknown);

// atSpannedZip for a file that starts with the split-set marker or whose end record names
// a disk other than 0, atZip for an end record on disk 0, atUnknown otherwise.
TVmArchiveType ProbeZip(core::TStream& stream);
// atSelfExtZip for an executable (MZ or ELF) that ProbeZip takes as atZip.
TVmArchiveType ProbeSelfExtractingZip(core::TStream& stream);
// Signature probes of the other kinds; each gives its kind or atUnknown. ProbeGzip and
// ProbeBzip2 give `plain` or `tarred` as asked (the content decides only the family).
TVmArchiveType ProbeTar(core::TStream& stream);
TVmArchiveType ProbeGzip(core::TStream& stream, TVmArchiveType kind = TVmArchiveType::atGzip);
TVmArchiveType ProbeBzip2(core::TStream& stream, TVmArchiveType kind = TVmArchiveType::atBzip2);
TVmArchiveType ProbeCab(core::TStream& stream);

// The offset of the end-of-central-directory record, or all ones when there is none. On
// success the stream is left at the record; on failure at its position on entry. The last
// 22 bytes are tried first; then windows growing from 512 to 64 KiB are searched backwards
// (overlapping by 22 bytes), taking the highest signature whose comment fits before the
// end of the stream; look-alikes whose comment would not fit are passed over.
std::uint64_t LocateDirectoryEnd(core::TStream& stream);

inline constexpr std::uint64_t kNotFound = ~std::uint64_t{0};

}  // namespace tarvo::unzip
