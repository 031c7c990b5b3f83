// The rules one block of header lines is read under, whichever block it is: the head of a
// response, the head of an informational (1xx) response, or the trailer after a chunked
// body. Every line is refused when it holds a NUL (a peer could use one to make two readers
// of the same head disagree), and the block is bounded in lines and in bytes of line text
// so that a peer cannot make the client hold an unbounded head.
//
// The parser is fed lines (without their line ends) and never reads: where the lines come
// from is its caller's business. Continuation lines of obsolete line folding (a line that
// starts with a space or tab) are taken like any other line and count against both bounds;
// TNetHeaderList joins them to their field when a value is asked for.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "http/header_list.h"

namespace tarvo::http {

class TNetHeaderBlock {
public:
  // maxLines 0 bounds only the bytes.
  TNetHeaderBlock(std::size_t maxLines, std::size_t maxBytes) noexcept : FMaxLines(maxLines), FMaxBytes(maxBytes) {}

  // Takes the next line of the block into `into`; false, taking nothing, for the empty line
  // that ends the block. Raises ENetHTTPBadResponse with "The response head contains a NUL
  // character", "Too many header lines in the response" or "Response headers are too long",
  // checked in that order; `into` then stays as it was before this line.
  bool Take(std::string line, TNetHeaderList& into);
  // Checks and counts a line without keeping it, under the same rules and messages.
  void Count(std::string_view line);

  std::size_t Lines() const noexcept { return FLines; }
  std::size_t Bytes() const noexcept { return FBytes; }

private:
  std::size_t FMaxLines;
  std::size_t FMaxBytes;
  std::size_t FLines = 0;
  std::size_t FBytes = 0;
};

}  // namespace tarvo::http
