#include "unzip/methods/bzip2_stream.h"

#include <algorithm>
#include <string>

#include "core/exception.h"
#include "core/format.h"
#include "unzip/methods/bzip2_parallel.h"
#include "unzip/methods/method_errors.h"
#include "unzip/methods/method_strings.h"

namespace tarvo::unzip {

void RaiseBZError(int code) {
  throw EBZDecompressionError(core::Format(core::LoadResString(SBZError), {std::to_string(code)}));
}

TBZDecompressionStream::TBZDecompressionStream(core::TStream& source)
    : FSource(source), FBuffer(new std::uint8_t[kInBlock]) {
  int result = BZ2_bzDecompressInit(&FBZRec, 0, 0);
  if (result != BZ_OK) RaiseBZError(result);
}

TBZDecompressionStream::~TBZDecompressionStream() { BZ2_bzDecompressEnd(&FBZRec); }

std::size_t TBZDecompressionStream::Read(void* buffer, std::size_t count) {
  if (FStreamEnded || count == 0) return 0;
  // libbz2 counts in unsigned int; a larger request is served in parts.
  count = std::min<std::size_t>(count, 1u << 30);
  FBZRec.next_out = static_cast<char*>(buffer);
  FBZRec.avail_out = static_cast<unsigned>(count);
  while (FBZRec.avail_out > 0) {
    if (FBZRec.avail_in == 0 && !FSourceEnded) {
      std::size_t n = FSource.Read(FBuffer.get(), kInBlock);
      if (n == 0) FSourceEnded = true;
      FBZRec.next_in = reinterpret_cast<char*>(FBuffer.get());
      FBZRec.avail_in = static_cast<unsigned>(n);
    }
    unsigned inBefore = FBZRec.avail_in, outBefore = FBZRec.avail_out;
    int result = BZ2_bzDecompress(&FBZRec);
    if (result < 0) RaiseBZError(result);
    if (result == BZ_STREAM_END) {
      FStreamEnded = true;
      break;
    }
    // With the source spent, a call that moves nothing means no more output will come.
    if (FSourceEnded && FBZRec.avail_in == inBefore && FBZRec.avail_out == outBefore) break;
  }
  return count - FBZRec.avail_out;
}

std::size_t TBZDecompressionStream::Write(const void*, std::size_t) {
  throw EBZDecompressionError(core::LoadResString(SBZInvalidOperation));
}

std::int64_t TBZDecompressionStream::Seek(std::int64_t, core::TSeekOrigin) {
  throw EBZDecompressionError(core::LoadResString(SBZInvalidOperation));
}

void DecodeBzip2(core::TStream& input, core::TStream& output, std::uint64_t size, bool rewindable) {
  if (DecodeBzip2Blocks(input, output, size, 0, rewindable) < size) throw core::EReadError();
}

}  // namespace tarvo::unzip
