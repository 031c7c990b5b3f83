// Turning a response body into text: the charset of Content-Type, or for XML media types the
// byte-order mark or XML declaration (UTF-8 when neither names one). An empty or unknown
// charset reads each byte as the character of the same number.
#pragma once

#include <string>
#include <string_view>

#include "http/header_info.h"

namespace tarvo::http {

std::string DecodeResponseText(std::string_view body, const TNetEntityHeaderInfo& headers);

// Text that came from the network (a status line, a header, an error page) made fit to show
// a person on a terminal or in a message box: control characters (C0, DEL, C1), the
// bidirectional embedding, override and isolate marks and malformed UTF-8 become U+FFFD, so
// no escape sequence reaches the screen and no text runs backwards; CR LF and LF survive
// only with keepLineBreaks. Text longer than maxChars characters is cut and ends in "...".
// Callers that compare the text keep the original; this is for showing only.
std::string DisplayText(std::string_view text, std::size_t maxChars, bool keepLineBreaks = false);

}  // namespace tarvo::http
