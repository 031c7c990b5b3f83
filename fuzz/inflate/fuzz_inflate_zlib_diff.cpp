// Differential fuzzing against zlib's raw inflate (Deflate only). What must agree:
//   - zlib decodes the stream: ours decodes it too, to the same bytes and CRC-32;
//   - zlib runs out of input (truncated stream): ours fails as well;
//   - zlib produces the output cap without an error: ours produces the same first bytes.
// Where zlib reports a data error ours may still succeed: it accepts code sets that are
// incomplete or over-full and literal/length codes without an end-of-block symbol, as long
// as the stream never reaches a pattern no code owns. Bytes after the final block are
// ignored by both.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/memory_stream.h"
#include "core/stream.h"
#include "unzip/inflate/inflate.h"
#include "unzip/vm_exception.h"

namespace {

constexpr std::size_t kCap = 1 << 20;

enum class ZResult { zrDone, zrTruncated, zrDataError, zrCapped };

ZResult ZlibInflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) __builtin_trap();
  out.resize(kCap);
  zs.next_in = const_cast<Bytef*>(data);
  zs.avail_in = static_cast<uInt>(size);
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(kCap);
  int rc = inflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  inflateEnd(&zs);
  if (rc == Z_STREAM_END) return ZResult::zrDone;
  if (rc == Z_DATA_ERROR) return ZResult::zrDataError;
  if (out.size() == kCap) return ZResult::zrCapped;
  return ZResult::zrTruncated;  // Z_BUF_ERROR with output room left: the input ended
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> expected;
  const ZResult z = ZlibInflate(data, size, expected);

  tarvo::core::TMemoryStream src{std::vector<std::uint8_t>(data, data + size)};
  tarvo::core::TMemoryStream dst;
  tarvo::unzip::TVmDeflateHelper h;
  h.FPartSize = kCap;
  bool ok = true;
  std::uint32_t crc = 0;
  try {
    crc = tarvo::unzip::Inflate(src, dst, &h);
  } catch (const tarvo::unzip::EVmInflateError&) {
    ok = false;
  }
  const std::size_t got = static_cast<std::size_t>(dst.Size());
  switch (z) {
    case ZResult::zrDone:
      if (!ok || got != expected.size() || std::memcmp(dst.Memory(), expected.data(), got) != 0) __builtin_trap();
      if (got < kCap && crc != static_cast<std::uint32_t>(crc32(0, expected.data(), static_cast<uInt>(got))))
        __builtin_trap();
      break;
    case ZResult::zrTruncated:
      if (ok) __builtin_trap();
      break;
    case ZResult::zrCapped:
      if (!ok || got != kCap || std::memcmp(dst.Memory(), expected.data(), kCap) != 0) __builtin_trap();
      break;
    case ZResult::zrDataError:
      break;
  }
  return 0;
}
