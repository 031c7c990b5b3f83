// History and output buffer of the decoder. Produced bytes collect in one buffer that
// keeps the last 32 KiB (Deflate) or 64 KiB (Deflate64) as history for matches; when the
// fill passes the flush point, everything not yet passed on is checksummed and written to
// the destination (or only counted in test-only mode) and the history slides down.
//
// The decode loop writes through FCurrent directly while FCurrent < FStop; a copy may run
// up to the longest match (plus a few bytes of word-copy overrun) past FStop, which the
// buffer has room for. At FStop it calls Overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/stream.h"

namespace tarvo::unzip {

// Thrown when the part size has been produced; Inflate ends without an error.
struct TVmDfPartDone {};

class TVmDfOutputWindow {
public:
  // partSize > 0: stop once that many bytes have been produced.
  TVmDfOutputWindow(core::TStream& stream, bool deflate64, bool useCRC32, bool testOnly, std::int64_t partSize);
  ~TVmDfOutputWindow();
  TVmDfOutputWindow(const TVmDfOutputWindow&) = delete;
  TVmDfOutputWindow& operator=(const TVmDfOutputWindow&) = delete;

  // Room a single write may take past FStop: the longest match plus word-copy overrun.
  std::size_t MaxOverrun() const noexcept { return FMaxMatch + 64; }

  // Passes on and slides (at the flush point) or ends decoding (part size reached).
  void Overflow();
  // Bytes that a match may reach back over.
  std::size_t History() const noexcept { return static_cast<std::size_t>(FCurrent - FBuffer.get()); }
  // Free room before the flush point plus the overrun room: for byte-wise copies.
  std::size_t Room() const noexcept { return static_cast<std::size_t>(FLimit - FCurrent); }
  // Writes everything left; gives the checksum (CRC-32 complemented, or Adler-32).
  std::uint32_t Finish();
  // Bytes passed on so far (written or, in test-only mode, counted).
  std::int64_t Produced() const noexcept { return FPassedOn; }

  std::unique_ptr<std::uint8_t[]> FBuffer;
  std::uint8_t* FCurrent;
  std::uint8_t* FStop;

private:
  void PassOn(const std::uint8_t* data, std::size_t count);
  void UpdateStop() noexcept;
  std::int64_t ProducedTotal() const noexcept { return FPassedOn + (FCurrent - FWritten); }

  core::TStream& FStream;
  std::size_t FHistory;
  std::size_t FMaxMatch;
  std::uint8_t* FFlushPoint;
  std::uint8_t* FLimit;    // end of the room a single write may use
  std::uint8_t* FWritten;  // bytes before this were passed on
  bool FUseCRC32;
  bool FTestOnly;
  std::int64_t FPartSize;
  std::int64_t FPassedOn = 0;
  std::uint32_t FChecksum;
};

// Adler-32 (RFC 1950) continuing a running value (start with 1).
std::uint32_t UpdateAdler32(std::uint32_t adler, const std::uint8_t* data, std::size_t length) noexcept;

}  // namespace tarvo::unzip
