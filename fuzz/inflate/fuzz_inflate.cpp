// Raw Deflate or Deflate64 from hostile bytes. The first byte chooses the mode:
//   bit 0  Deflate64          bit 1  test only          bit 2  Adler-32
//   bits 3..5  how many bytes the source hands out per read (1, 2, 3, 7, 64, 4096, all, all)
//   bit 6  the plain build of the decode loop instead of the processor's own
// Output goes to a counting null stream, capped by the part size so that tiny inputs
// that expand enormously stay fast.
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
  TChunkedSource(const std::uint8_t* data, std::size_t size, std::size_t chunk)
      : FData(data), FSize(size), FChunk(chunk) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min({count, FSize - FPos, FChunk});
    if (n) std::memcpy(buffer, FData + FPos, n);
    FPos += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t, tarvo::core::TSeekOrigin) override { return static_cast<std::int64_t>(FPos); }

private:
  const std::uint8_t* FData;
  std::size_t FSize, FPos = 0, FChunk;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t mode = data[0];
  static const std::size_t kChunks[8] = {1, 2, 3, 7, 64, 4096, SIZE_MAX, SIZE_MAX};
  TChunkedSource src(data + 1, size - 1, kChunks[(mode >> 3) & 7]);
  tarvo::core::TNullStream dst;
  tarvo::unzip::TVmDeflateHelper h;
  h.FOptions = 15;
  if (mode & 1) h.FOptions |= tarvo::unzip::dfc_Deflate64;
  if (mode & 2) h.FOptions |= tarvo::unzip::dfc_TestOnly;
  if (mode & 4) h.FOptions |= tarvo::unzip::dfc_UseAdler32;
  h.FPartSize = 1 << 20;
  tarvo::unzip::UsePlainInflateLoop(mode & 0x40);
  try {
    tarvo::unzip::Inflate(src, dst, &h);
    if (h.FSizeNormal > h.FPartSize || h.FSizeCompressed > static_cast<std::int64_t>(size - 1)) __builtin_trap();
    if (!(mode & 2) && dst.Size() != h.FSizeNormal) __builtin_trap();
  } catch (const tarvo::unzip::EVmInternalInflateError&) {
  }
  return 0;
}
