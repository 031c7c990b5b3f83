#include "http/response_head_reader.h"

namespace tarvo::http {

std::size_t TNetResponseHeadReader::Feed(const std::uint8_t* data, std::size_t count) {
  return FLines.FeedWhile(data, count, [this] { return WantsBytes(); }, [this](std::string line) {
    if (FStep == hrStatusLine) {
      FStatusLine = std::move(line);
      FStep = hrStatusRead;
    } else if (!FBlock.Take(std::move(line), *FHeaders)) {
      FStep = hrDone;
    }
  });
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
