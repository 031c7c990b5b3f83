// Private-profile (INI) files as Windows programs write them: "[section]" header lines and
// "key=value" lines, names matched without regard to ASCII case. A write changes one value
// and keeps everything else byte for byte: other sections, other keys, comments, blank
// lines and the line ends the file already has.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo::platform {

// A settings file larger than this is not ours to rewrite (it would be read whole).
inline constexpr std::size_t kMaxProfileFileSize = 4 * 1024 * 1024;

// The content after setting key=value in section:
// - an existing key keeps its line, its spelling and its line end; only the text after '='
//   is replaced (the first matching key of the first matching section);
// - a missing key is added after the section's last non-blank line;
// - a missing section is added at the end of the content.
// New lines end in CR LF. A last line without a line end gets one before anything follows.
std::string SetProfileString(std::string_view content, std::string_view section, std::string_view key,
                             std::string_view value);

// The value of key in section, trimmed of blanks, or fallback when there is none.
std::string GetProfileString(std::string_view content, std::string_view section, std::string_view key,
                             std::string_view fallback = {});

// Reads fileName (a missing file counts as empty), applies SetProfileString and replaces the
// file through a temporary file beside it, so that a failure leaves the old file intact.
// Returns false when the file could not be read or written, or is larger than
// kMaxProfileFileSize; errno then tells why.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& fileName);

}  // namespace tarvo::platform
