// A read-only stream that decompresses a bzip2 stream read from another stream, through
// libbz2's stream decompressor (normal, not small-memory, mode). It ends at the bzip2
// stream's end mark or where its source ends, whichever comes first.
#pragma once

#include <bzlib.h>

#include <cstdint>
#include <memory>

#include "core/stream.h"

namespace tarvo::unzip {

class TBZDecompressionStream final : public core::TStream {
public:
  // Raises EBZDecompressionError ("error <code>") when libbz2 cannot start.
  explicit TBZDecompressionStream(core::TStream& source);
  ~TBZDecompressionStream() override;

  // Fills the request unless the bzip2 stream or its source ends first; a damaged stream
  // raises EBZDecompressionError with libbz2's (negative) code.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Both raise EBZDecompressionError "Invalid stream operation".
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  // True once the bzip2 stream's end mark was decoded (false when its source ran out first).
  bool StreamEnded() const noexcept { return FStreamEnded; }
  // Source bytes read ahead but not used (after the end mark: what follows the stream).
  std::size_t UnusedInput() const noexcept { return FBZRec.avail_in; }

private:
  // The source is read in blocks of this size.
  static constexpr std::size_t kInBlock = 64 * 1024;

  core::TStream& FSource;
  bz_stream FBZRec{};
  std::unique_ptr<std::uint8_t[]> FBuffer;
  bool FSourceEnded = false;
  bool FStreamEnded = false;
};

// Copies exactly size decompressed bytes from a bzip2 stream to output; a stream that
// ends early raises the stream read error. Streams of several blocks are decoded by
// DecodeBzip2Blocks on the machine's cores.
// rewindable: see DecodeBzip2Blocks (an entry's data read straight from the archive is;
// decrypted data is not).
void DecodeBzip2(core::TStream& input, core::TStream& output, std::uint64_t size, bool rewindable);

// Raises EBZDecompressionError "error <code>" for a libbz2 result code.
[[noreturn]] void RaiseBZError(int code);

}  // namespace tarvo::unzip
