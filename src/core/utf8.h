// Walking and writing UTF-8, the one text form of the program outside the GUI.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvo::core {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point that starts at pos; pos moves past it. A malformed sequence (bad lead
// byte, missing continuation, overlong form, surrogate, beyond U+10FFFF) yields U+FFFD and
// consumes one byte, so every input makes progress. pos must be below text.size().
char32_t NextCodePoint(std::string_view text, std::size_t& pos) noexcept;

// Appends one code point as UTF-8 (surrogates and values beyond U+10FFFF as U+FFFD).
void AppendUTF8(std::string& out, char32_t cp);

}  // namespace tarvo::core
