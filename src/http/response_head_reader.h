// Reads one response head, a status line followed by a block of header lines up to the
// empty line, from bytes its caller feeds it; it does no I/O of its own. The I/O handler's
// owner hands it what has arrived and receives more while WantsBytes() says so.
//
// The reader stops twice: after the status line (StatusRead), so that the caller can judge
// it before any header line is read, and after the empty line that ends the head (Done).
// It never takes a byte beyond either point, so what follows the head (the body, or the
// next response) stays with the caller. Lines are cut by TNetLineFramer and the header
// lines go through TNetHeaderBlock, under the rules and messages those two state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/header_block.h"
#include "http/header_list.h"
#include "http/line_framer.h"

namespace tarvo::http {

class TNetResponseHeadReader {
public:
  enum TStep { hrStatusLine, hrStatusRead, hrHeaderLines, hrDone };

  // maxHeaderLines and maxHeaderBytes bound the header lines as TNetHeaderBlock does.
  TNetResponseHeadReader(TNetLineRules lines, std::size_t maxHeaderLines, std::size_t maxHeaderBytes) noexcept
      : FLines(lines), FBlock(maxHeaderLines, maxHeaderBytes) {}

  // Takes bytes of the head and returns how many; fewer than count only when the reader
  // stopped (StatusRead or Done). Raises what TNetLineFramer and TNetHeaderBlock raise.
  std::size_t Feed(const std::uint8_t* data, std::size_t count);
  bool WantsBytes() const noexcept { return FStep == hrStatusLine || FStep == hrHeaderLines; }
  TStep Step() const noexcept { return FStep; }

  // The status line, once read (possibly empty: the caller decides what that means).
  const std::string& StatusLine() const noexcept { return FStatusLine; }
  // After the status line: the header lines that follow are added to `into`, which must
  // outlive the reading.
  void ReadHeadersInto(TNetHeaderList& into) noexcept;
  // The peer closed while header lines were read: the head ends there and the piece of a
  // line received so far is dropped.
  void EndAtClose() noexcept;

private:
  TNetLineFramer FLines;
  TNetHeaderBlock FBlock;
  TStep FStep = hrStatusLine;
  std::string FStatusLine;
  TNetHeaderList* FHeaders = nullptr;
};

}  // namespace tarvo::http
