#include "http/response_head_reader.h"

namespace tarvo::http {

std::size_t TNetResponseHeadReader::Feed(const std::uint8_t* data, std::size_t count) {
  std::size_t taken = 0;
  while (WantsBytes()) {
    std::size_t used = 0;
    std::optional<std::string> line = FLines.Next(data + taken, count - taken, used);
    taken += used;
    if (!line) break;
    if (FStep == hrStatusLine) {
      FStatusLine = std::move(*line);
      FStep = hrStatusRead;
    } else if (!FBlock.Take(std::move(*line), *FHeaders)) {
      FStep = hrDone;
    }
  }
  return taken;
}

void TNetResponseHeadReader::ReadHeadersInto(TNetHeaderList& into) noexcept {
  FHeaders = &into;
  FStep = hrHeaderLines;
}

void TNetResponseHeadReader::EndAtClose() noexcept {
  FLines.Reset();
  FStep = hrDone;
}

}  // namespace tarvo::http
