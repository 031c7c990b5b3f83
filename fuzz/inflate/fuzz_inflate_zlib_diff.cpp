// Differential fuzzing against zlib's raw inflate (Deflate only). What must agree:
//   - zlib decodes the stream: ours decodes it too, to the same bytes and CRC-32;
//   - zlib runs out of input (truncated stream): ours fails as well;
//   - zlib produces the output cap without an error: ours produces the same first bytes.
//   - zlib reports a data error: ours fails as well, unless zlib's only complaint is about
//     the shape of a code. Ours accepts code sets that are incomplete and literal/length
//     codes without an end-of-block symbol, as long as the stream never reaches a pattern
//     no code owns; zlib refuses them when it reads the code lengths.
// Bytes after the final block are ignored by both.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/memory_stream.h"
#include "core/stream.h"
#include "unzip/inflate/inflate.h"
#include "unzip/inflate/inflate_error.h"

namespace {

constexpr std::size_t kCap = 1 << 20;

enum class ZResult { zrDone, zrTruncated, zrDataError, zrCodeShape, zrCapped };

// zlib's messages for code sets it refuses before decoding with them: over-subscribed ones
// (which ours refuses too) and incomplete ones (which ours decodes as far as they reach).
bool CodeShapeError(const char* msg) {
  static const char* const kShape[] = {"invalid code lengths set", "invalid literal/lengths set",
                                       "invalid distances set", "invalid code -- missing end-of-block"};
  if (!msg) return false;
  for (const char* m : kShape)
    if (std::strcmp(msg, m) == 0) return true;
  return false;
}

// zlib's output goes to one buffer kept between runs.
std::uint8_t* ZlibOutput() {
  static std::vector<std::uint8_t> buffer(kCap);
  return buffer.data();
}

ZResult ZlibInflate(const std::uint8_t* data, std::size_t size, std::size_t& produced) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) __builtin_trap();
  std::uint8_t* const out = ZlibOutput();
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(size);
  zs.next_out = out;
  zs.avail_out = static_cast<uInt>(kCap);
  int rc = inflate(&zs, Z_FINISH);
  produced = zs.total_out;
  const bool shape = rc == Z_DATA_ERROR && CodeShapeError(zs.msg);
  inflateEnd(&zs);
  if (rc == Z_STREAM_END) return ZResult::zrDone;
  if (rc == Z_DATA_ERROR) return shape ? ZResult::zrCodeShape : ZResult::zrDataError;
  if (produced == kCap) return ZResult::zrCapped;
  return ZResult::zrTruncated;  // Z_BUF_ERROR with output room left: the input ended
}

void CheckOurs(const std::uint8_t* data, std::size_t size, ZResult z, const std::uint8_t* expected,
               std::size_t expectedSize) {
  tarvo::core::TMemoryStream src{std::vector<std::uint8_t>(data, data + size)};
  tarvo::core::TMemoryStream dst;
  tarvo::unzip::TVmDeflateHelper h;
  h.FPartSize = kCap;
  bool ok = true;
  std::uint32_t crc = 0;
  try {
    crc = tarvo::unzip::Inflate(src, dst, &h);
  } catch (const tarvo::unzip::EVmInternalInflateError&) {
    ok = false;
  }
  const std::size_t got = static_cast<std::size_t>(dst.Size());
  const auto same = [&](std::size_t n) { return n == 0 || std::memcmp(dst.Memory(), expected, n) == 0; };
  switch (z) {
    case ZResult::zrDone:
      if (!ok || got != expectedSize || !same(got)) __builtin_trap();
      if (got < kCap && crc != static_cast<std::uint32_t>(crc32(0, expected, static_cast<uInt>(got))))
        __builtin_trap();
      break;
    case ZResult::zrTruncated:
      if (ok) __builtin_trap();
      break;
    case ZResult::zrCapped:
      if (!ok || got != kCap || !same(kCap)) __builtin_trap();
      break;
    case ZResult::zrDataError:
      if (ok) __builtin_trap();
      break;
    case ZResult::zrCodeShape:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t expectedSize = 0;
  const ZResult z = ZlibInflate(data, size, expectedSize);
  const std::uint8_t* const expected = ZlibOutput();

  // Both builds of the decode loop, the processor's own and the plain one.
  for (const bool plain : {false, true}) {
    tarvo::unzip::UsePlainInflateLoop(plain);
    CheckOurs(data, size, z, expected, expectedSize);
  }
  tarvo::unzip::UsePlainInflateLoop(false);
  return 0;
}
