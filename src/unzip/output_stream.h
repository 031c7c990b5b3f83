// The write-only wrapper every decoder writes an entry through: it keeps the running
// CRC-32, counts the bytes, reports progress in whole percent, and refuses to produce
// more than the entry's declared uncompressed size.
#pragma once

#include <cstdint>
#include <functional>

#include "core/stream.h"

namespace tarvo::unzip {

// Progress in whole percent; setting abort stops the entry with EVmUserAbort.
using TVmUnzipProgressEvent = std::function<void(std::uint8_t percent, bool& abort)>;

class TVmUnzipOutputStream final : public core::TStream {
public:
  // computeCRC false: the decoder checksums what it produces and hands the result to
  // SetCRC32, so the bytes are not checksummed twice.
  TVmUnzipOutputStream(core::TStream& destination, std::uint64_t uncompressedSize, TVmUnzipProgressEvent onProgress,
                       bool computeCRC = true);

  // Raises EVmException "TVmUnzipOutputStream.Read not supported".
  std::size_t Read(void* buffer, std::size_t count) override;
  // Updates the CRC, writes, counts what was written, reports progress. A write that
  // would take the total past the expected size writes nothing and raises
  // EVmZipDataOverrun; an abort answer raises EVmUserAbort.
  std::size_t Write(const void* buffer, std::size_t count) override;
  // Only reports the position (written bytes); a decoder cannot move backwards.
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;

  // The finished CRC-32 of everything written so far.
  std::uint32_t CRC32() const noexcept { return ~FCRC32; }
  // Takes the finished CRC-32 the decoder computed over everything it wrote here.
  void SetCRC32(std::uint32_t finished) noexcept { FCRC32 = ~finished; }
  std::uint64_t BytesWritten() const noexcept { return FBytesWritten; }

private:
  core::TStream& FStream;
  std::uint32_t FCRC32 = 0xFFFFFFFFu;
  std::uint64_t FBytesWritten = 0;
  std::uint64_t FUncompressedSize;
  int FCurrentProgress = -1;
  TVmUnzipProgressEvent FOnProgress;
  bool FComputeCRC;
};

}  // namespace tarvo::unzip
