// Encoding of posted form fields (application/x-www-form-urlencoded): each "name=value"
// line is encoded (space as "+", unsafe characters as %XX of their bytes, characters the
// encoding cannot hold as a decimal character reference) and the lines joined with "&".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "http/char_encoding.h"

namespace tarvo::http {

std::string EncodeFormField(std::string_view field, const INetTextEncoding* enc);

// With forceEncode the name and the value of each line are encoded separately; without it
// the lines are joined unchanged.
std::string EncodeFormFields(const std::vector<std::string>& lines, bool forceEncode,
                             const INetTextEncoding* enc);

}  // namespace tarvo::http
