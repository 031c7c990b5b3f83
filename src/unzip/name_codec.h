// Turning the raw name bytes of a ZIP entry into UTF-8 text.
//
// Archives carry names as UTF-8 (flag bit 11, or simply valid UTF-8), in the Info-ZIP
// Unicode path field (7075h), as Xceed UTF-16 (554Eh), or in a code page: the ANSI code
// page of the system that wrote them or, for DOS-made archives, its OEM code page. The
// rules are tried in that order; see DecodeZipName.
#pragma once

#include "core/utf8.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "unzip/zip_headers.h"

namespace tarvo::unzip {

enum class TVmNameBytesKind { nbAscii, nbAnsi, nbUtf8 };

// ASCII when no byte has its top bit set; UTF-8 when every multi-byte sequence is a
// complete, well-formed lead-and-continuation run; ANSI otherwise.
TVmNameBytesKind ClassifyNameBytes(std::string_view bytes) noexcept;

// True when every top-bit byte is a letter of the given OEM code page and not every one
// is a letter of its matching ANSI code page. Defined for OEM code pages 437, 720, 737,
// 775, 850, 852, 855, 857, 862 and 866; false for any other.
bool LooksLikeOemName(std::string_view bytes, unsigned oemCodePage) noexcept;

// The UTF-8 form of a central header's name, by the first rule that applies:
// a. flag bit 11, or the bytes classify as UTF-8: the bytes as UTF-8;
// b. a 7075h field (size > 6, version 1) whose CRC-32 matches the raw name: its UTF-8;
// c. a 554Eh field of size > 10 and exactly 8 + 2N: its N UTF-16 units;
// d. ANSI code page = OEM code page, or a host other than DOS (0) whose name does not
//    look like OEM: the ANSI code page;
// e. the OEM code page.
// Invalid UTF-8 or UTF-16 never reaches the result: such units become U+FFFD.
std::string DecodeZipName(const TVmZipDirectoryFileHeader& header);

// Well-formed UTF-8 from bytes meant as UTF-8 (invalid sequences become U+FFFD).
std::string SanitizeUtf8(std::string_view bytes);
// UTF-8 from little-endian UTF-16 units (unpaired surrogates become U+FFFD).
std::string Utf16LEToUtf8(const std::uint8_t* units, std::size_t count);

using core::AppendUTF8;
using core::NextCodePoint;

}  // namespace tarvo::unzip
