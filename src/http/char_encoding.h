// Text helpers of the HTTP layer: UTF-8 walking, conversions through the transport's text
// encodings (ASCII by default), and the ASCII case-insensitive comparisons of HTTP tokens.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/text_case.h"
#include "core/text_trim.h"
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

// ASCII case rules and blank trimming for header names, schemes and tokens.
using core::LowerCase;
using core::SameText;
using core::Trim;
using core::UpperCase;
bool ContainsText(std::string_view haystack, std::string_view needle);  // case-insensitive

}  // namespace tarvo::http
