// The framing of a chunked body (see chunked.h for the grammar), fed the received bytes by
// its caller and doing no I/O of its own: chunk-size lines with their extensions, the line
// end after each chunk's data, and the trailer section after the last chunk.
//
// The framer takes framing bytes only. When a chunk's data begins it stops (InData) and the
// caller moves DataRemaining() bytes to wherever the body goes, by any route, telling the
// framer with DataTaken; then the framing goes on. A size line that is not a chunk size, or
// chunk data not followed by an empty line (its size lied), raises ENetHTTPBadResponse
// "Invalid chunk size"; the trailer lines go through TNetHeaderBlock under its rules and
// messages and are added to the given header list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "http/header_block.h"
#include "http/header_list.h"
#include "http/line_framer.h"

namespace tarvo::http {

class TNetChunkFramer {
public:
  enum TStep { ckSizeLine, ckData, ckDataEnd, ckTrailer, ckDone };

  // trailer must outlive the framer.
  TNetChunkFramer(TNetLineRules lines, std::size_t maxTrailerLines, std::size_t maxTrailerBytes,
                  TNetHeaderList& trailer) noexcept
      : FLines(lines), FTrailerBlock(maxTrailerLines, maxTrailerBytes), FTrailer(trailer) {}

  // Takes framing bytes and returns how many; fewer than count only when the framer stopped
  // at chunk data or at the end of the body.
  std::size_t Feed(const std::uint8_t* data, std::size_t count);
  // True while framing bytes are wanted (not in chunk data, not done).
  bool WantsBytes() const noexcept { return FStep != ckData && FStep != ckDone; }
  bool InData() const noexcept { return FStep == ckData; }
  bool Done() const noexcept { return FStep == ckDone; }
  // Bytes of the current chunk's data not yet moved.
  std::int64_t DataRemaining() const noexcept { return FRemaining; }
  // The caller moved count (at most DataRemaining()) bytes of chunk data.
  void DataTaken(std::int64_t count) noexcept;

private:
  void TakeLine(std::string line);

  TNetLineFramer FLines;
  TNetHeaderBlock FTrailerBlock;
  TNetHeaderList& FTrailer;
  TStep FStep = ckSizeLine;
  std::int64_t FRemaining = 0;
};

}  // namespace tarvo::http
