#include "http/chunk_framer.h"

#include "core/resource_string.h"
#include "http/chunked.h"
#include "http/http_exception.h"
#include "http/http_strings.h"

namespace tarvo::http {

std::size_t TNetChunkFramer::Feed(const std::uint8_t* data, std::size_t count) {
  return FLines.FeedWhile(data, count, [this] { return WantsBytes(); },
                          [this](std::string line) { TakeLine(std::move(line)); });
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
