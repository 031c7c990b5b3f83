// Code pages as the archive reader needs them: the system's ANSI and OEM code pages and
// the conversion of 8-bit text in one of them to UTF-8. On this Linux build the platform
// reports ANSI code page 1252 and OEM code page 850, converted through iconv.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::platform {

// The system's ANSI code page (the Windows "ACP"): 1252.
unsigned AnsiCodePage() noexcept;
// The system's OEM code page (the console code page of DOS archives): 850.
unsigned OemCodePage() noexcept;

// Converts bytes in the given code page to UTF-8. Bytes the code page leaves undefined
// become the Unicode character of the same number (as the Windows conversion does for
// 81h, 8Dh, 8Fh, 90h and 9Dh in 1252), so the conversion never fails and never drops
// a byte. Pure 7-bit ASCII is returned unchanged without calling iconv.
std::string CodePageToUtf8(unsigned codePage, std::string_view bytes);

inline std::string AnsiToUtf8(std::string_view bytes) { return CodePageToUtf8(AnsiCodePage(), bytes); }
inline std::string OemToUtf8(std::string_view bytes) { return CodePageToUtf8(OemCodePage(), bytes); }

}  // namespace tarvo::platform
