#include "http/chunk_framer.h"

#include "core/resource_string.h"
#include "http/chunked.h"
#include "http/http_exception.h"
#include "http/http_strings.h"

namespace tarvo::http {

std::size_t TNetChunkFramer::Feed(const std::uint8_t* data, std::size_t count) {
  std::size_t taken = 0;
  while (WantsBytes()) {
    std::size_t used = 0;
    std::optional<std::string> line = FLines.Next(data + taken, count - taken, used);
    taken += used;
    if (!line) break;
    TakeLine(std::move(*line));
  }
  return taken;
}

void TNetChunkFramer::TakeLine(std::string line) {
  switch (FStep) {
    case ckSizeLine: {
      std::optional<std::int64_t> size = ParseChunkSizeLine(line);
      if (!size) throw ENetHTTPBadResponse(core::LoadResString(SInvalidChunkSize));
      FRemaining = *size;
      FStep = FRemaining == 0 ? ckTrailer : ckData;
      break;
    }
    case ckDataEnd:
      // The chunk data ends with its own line end; anything else there means the size lied.
      if (!line.empty()) throw ENetHTTPBadResponse(core::LoadResString(SInvalidChunkSize));
      FStep = ckSizeLine;
      break;
    case ckTrailer:
      if (!FTrailerBlock.Take(std::move(line), FTrailer)) FStep = ckDone;
      break;
    case ckData:
    case ckDone:
      break;
  }
}

void TNetChunkFramer::DataTaken(std::int64_t count) noexcept {
  FRemaining -= count;
  if (FStep == ckData && FRemaining <= 0) {
    FRemaining = 0;
    FStep = ckDataEnd;
  }
}

}  // namespace tarvo::http
