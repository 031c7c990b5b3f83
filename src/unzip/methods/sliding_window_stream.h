// The output of the legacy decoders (reduce, implode) with its recent past kept readable:
// writes append at the end and go on to the real output a chunk at a time; a reader may
// seek back into the last chunks and read them again to copy earlier output.
#pragma once

#include <cstdint>
#include <memory>

#include "core/stream.h"

namespace tarvo::unzip {

class TvmSlidingWindowStream final : public core::TStream {
public:
  static constexpr std::size_t kChunkSize = 8192;
  static constexpr std::size_t kChunkCount = 5;
  // The longest read: what a chunk-sized write can leave readable behind it.
  static constexpr std::size_t kMaxRead = (kChunkCount - 1) * kChunkSize;

  explicit TvmSlidingWindowStream(core::TStream& stream);

  // At most kMaxRead bytes, never past the end of what was written.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Only at the end of the stream ("Not at end of stream"); a chunk the real output does
  // not take whole fails with "bsWriteChunk: write failed".
  std::size_t Write(const void* buffer, std::size_t count) override;
  // Into what is still held, or to the end; elsewhere "invalid new position".
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(bsSize); }

  // Hands what is still held back on to the real output.
  void Flush();

private:
  void bsWriteChunk(std::uint64_t upTo);
  std::uint64_t OldestHeld() const noexcept;

  core::TStream& bsStream;
  std::unique_ptr<std::uint8_t[]> bsChunks;
  std::uint64_t bsPosition = 0;  // read/write position in the output
  std::uint64_t bsSize = 0;      // bytes written
  std::uint64_t bsSent = 0;      // bytes handed to bsStream
};

}  // namespace tarvo::unzip
