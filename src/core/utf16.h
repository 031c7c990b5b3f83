// UTF-8 text as the UTF-16 of the Windows ...W calls and back: the one conversion pair at
// the system's edge.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::core {

// Ill-formed UTF-8 becomes U+FFFD, as the decoder of utf8.h reads it.
std::wstring Utf8ToWide(std::string_view text);
// An unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);

}  // namespace tarvo::core
