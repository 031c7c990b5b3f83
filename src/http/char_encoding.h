// Text helpers of the HTTP layer: UTF-8 walking, conversions through the transport's text
// encodings (ASCII by default), and the ASCII case-insensitive comparisons of HTTP tokens.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/utf8.h"
#include "http/net_types.h"

namespace tarvo::http {

using core::AppendUTF8;
using core::NextCodePoint;

// The bytes of one code point in the encoding (nullptr: ASCII); a character the encoding
// cannot hold becomes "?".
std::string EncodeCodePoint(char32_t cp, const INetTextEncoding* encoding);

// Bytes to UTF-8 text (nullptr: ASCII).
std::string DecodeBytes(std::string_view bytes, const INetTextEncoding* encoding);

// The encoding of a charset name from a header or a document ("utf-8", "ISO-8859-1",
// "us-ascii"), or nullptr when it is not one this layer decodes.
const INetTextEncoding* CharEncodingFromName(std::string_view name);

// Plain ASCII case-insensitive comparisons and folds used for header names, schemes and
// tokens.
bool SameText(std::string_view a, std::string_view b);
std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);
// Blanks (space and control characters up to 32) removed on both ends, as the header
// code trims.
std::string_view Trim(std::string_view s);
bool ContainsText(std::string_view haystack, std::string_view needle);  // case-insensitive

}  // namespace tarvo::http
