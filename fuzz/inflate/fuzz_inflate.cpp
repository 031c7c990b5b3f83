// Raw Deflate or Deflate64 from hostile bytes. The first byte chooses the mode:
//   bit 0  Deflate64          bit 1  test only          bit 2  Adler-32
//   bits 3..5  how many bytes the source hands out per read (1, 2, 3, 7, 64, 4096, all),
//              or 7: it lends them in place, and the result must equal reading them all
//   bit 6  the plain build of the decode loop instead of the processor's own
// Output goes to a counting null stream, capped by the part size so that tiny inputs
// that expand enormously stay fast. Inputs are read in place only where more than 16 KiB
// are left, so the seeds include one that long.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/stream.h"
#include "unzip/inflate/inflate.h"
#include "unzip/inflate/inflate_error.h"

namespace {

class TChunkedSource final : public tarvo::core::TStream {
public:
  TChunkedSource(const std::uint8_t* data, std::size_t size, std::size_t chunk, bool lends)
      : FData(data), FSize(size), FChunk(chunk), FLends(lends) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min({count, FSize - FPos, FChunk});
    if (n) std::memcpy(buffer, FData + FPos, n);
    FPos += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, tarvo::core::TSeekOrigin origin) override {
    if (origin == tarvo::core::TSeekOrigin::soCurrent) FPos = std::min(FSize, FPos + static_cast<std::size_t>(offset));
    return static_cast<std::int64_t>(FPos);
  }
  std::size_t Lend(const std::uint8_t*& data) override {
    data = FData + FPos;
    return FLends ? FSize - FPos : 0;
  }

private:
  const std::uint8_t* FData;
  std::size_t FSize, FPos = 0, FChunk;
  bool FLends;
};

struct TOutcome {
  bool Failed = false;
  std::uint32_t Checksum = 0;
  std::int64_t Compressed = 0, Consumed = 0, Produced = 0, Written = 0;
  bool operator==(const TOutcome&) const = default;
};

TOutcome Decode(const std::uint8_t* data, std::size_t size, std::uint8_t mode, std::size_t chunk, bool lends) {
  TChunkedSource src(data, size, chunk, lends);
  tarvo::core::TNullStream dst;
  tarvo::unzip::TVmDeflateHelper h;
  h.FOptions = 15;
  if (mode & 1) h.FOptions |= tarvo::unzip::dfc_Deflate64;
  if (mode & 2) h.FOptions |= tarvo::unzip::dfc_TestOnly;
  if (mode & 4) h.FOptions |= tarvo::unzip::dfc_UseAdler32;
  h.FPartSize = 1 << 20;
  TOutcome r;
  try {
    r.Checksum = tarvo::unzip::Inflate(src, dst, &h);
    if (h.FSizeNormal > h.FPartSize || h.FSizeCompressed > static_cast<std::int64_t>(size)) __builtin_trap();
    if (!(mode & 2) && dst.Size() != h.FSizeNormal) __builtin_trap();
  } catch (const tarvo::unzip::EVmInternalInflateError&) {
    r.Failed = true;
  }
  r.Compressed = h.FSizeCompressed;
  r.Consumed = h.FSizeConsumed;
  r.Produced = h.FSizeNormal;
  r.Written = dst.Size();
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  static const std::size_t kChunks[8] = {1, 2, 3, 7, 64, 4096, SIZE_MAX, SIZE_MAX};
  const unsigned chunk = (mode >> 3) & 7;
  tarvo::unzip::UsePlainInflateLoop(mode & 0x40);
  const TOutcome r = Decode(data + 1, size - 1, mode, kChunks[chunk], chunk == 7);
  if (chunk == 7 && !(r == Decode(data + 1, size - 1, mode, SIZE_MAX, false))) __builtin_trap();
  return 0;
}
