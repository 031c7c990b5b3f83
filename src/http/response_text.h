// Turning a response body into text: the charset of Content-Type, or for XML media types the
// byte-order mark or XML declaration (UTF-8 when neither names one). An empty or unknown
// charset reads each byte as the character of the same number.
#pragma once

#include <string>
#include <string_view>

#include "http/header_info.h"

namespace tarvo::http {

std::string DecodeResponseText(std::string_view body, const TNetEntityHeaderInfo& headers);

}  // namespace tarvo::http
