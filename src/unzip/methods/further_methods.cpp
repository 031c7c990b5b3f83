#include "unzip/methods/further_methods.h"

#include "unzip/methods/bzip2_stream.h"
#include "unzip/methods/lzma_decoder.h"
#include "unzip/methods/ppmd_decoder.h"
#include "unzip/methods/unzip_helper.h"
#include "unzip/methods/wavpack_decoder.h"

namespace tarvo::unzip {

namespace {
enum : std::uint16_t {
  kMethodShrunk = 1,
  kMethodImploded = 6,
  kMethodBzip2 = 12,
  kMethodLzma = 14,
  kMethodWavPack = 97,
  kMethodPpmd = 98
};
enum : std::uint16_t { kFlagEncrypted = 0x01, kFlag8KDictionary = 0x02, kFlagThreeTrees = 0x04 };
}  // namespace

bool DecodeFurtherMethod(std::uint16_t method, std::uint16_t flags, core::TStream& input, core::TStream& output,
                         std::uint64_t size) {
  switch (method) {
    case kMethodBzip2:
      DecodeBzip2(input, output, size, !(flags & kFlagEncrypted));
      return true;
    case kMethodLzma:
      DecodeLzma(input, output, size);
      return true;
    case kMethodWavPack:
      DecodeWavPack(input, output);
      return true;
    case kMethodPpmd:
      if (!PpmdBuiltIn()) return false;
      DecodePpmd(input, output);
      return true;
    default:
      break;
  }
  if (method < kMethodShrunk || method > kMethodImploded) return false;
  TVmUnzipHelper helper(input, output);
  helper.FUnCompressedSize = size;
  helper.FCompressionMethod = method;
  if (method == kMethodImploded) {
    helper.FDictionarySize = (flags & kFlag8KDictionary) ? TVmZipDictionarySize::ds8K : TVmZipDictionarySize::ds4K;
    helper.FShannonFanoTreeCount = (flags & kFlagThreeTrees) ? 3 : 2;
  }
  helper.Execute();
  return true;
}

}  // namespace tarvo::unzip
