// A read-only window of buffered reading over another stream, so that parsing thousands
// of small records (the central directory) costs one system call per 64 KiB instead of
// one per field. Seeking inside the buffered bytes moves no data; the source's position
// is undefined while this stream is in use (it runs ahead).
#pragma once

#include <memory>

#include "core/stream.h"

namespace tarvo::unzip {

class TVmReadAheadStream final : public core::TStream {
public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  explicit TVmReadAheadStream(core::TStream& source);

  std::size_t Read(void* buffer, std::size_t count) override;
  // Raises EStreamError: the stream is read-only.
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  std::int64_t Size() override;
  // A source in memory needs no buffer: its own bytes are lent from this position on.
  std::size_t Lend(const std::uint8_t*& data) override;

private:
  core::TStream& FSource;
  std::unique_ptr<std::uint8_t[]> FBuffer;
  std::int64_t FBufferStart = 0;  // source offset of FBuffer[0]
  std::size_t FBufferFill = 0;
  std::int64_t FPosition;
  std::int64_t FSize = -1;
  // Whether the source lends, once an answer has told: then a file source costs no seek
  // per entry.
  bool FLendingKnown = false;
  bool FSourceLends = false;
};

}  // namespace tarvo::unzip
