// A read-only window on the archive stream covering one entry's compressed bytes, so that
// no decoder can read into the next entry, whatever the data says.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace tarvo::unzip {

class TVmUnzipSubsetStream final : public core::TStream {
public:
  // The window starts at the stream's current position and spans size bytes (clamped so
  // that start + size never overflows).
  TVmUnzipSubsetStream(core::TStream& stream, std::uint64_t size);

  // At most the bytes left before the window's end; 0 at the end.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Raises EVmException "TVmUnzipSubsetStream.Write not supported".
  std::size_t Write(const void* buffer, std::size_t count) override;
  // Clamps the position into the window; moves the archive stream only when it changed.
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  std::int64_t Size() override { return FEndPos - FStartPos; }
  // What the archive stream lends from here, up to the window's end.
  std::size_t Lend(const std::uint8_t*& data) override;

private:
  core::TStream& FStream;
  std::int64_t FStartPos;
  std::int64_t FCurPos;
  std::int64_t FEndPos;
};

}  // namespace tarvo::unzip
