// ZIP method 14: the entry's data is a 4-byte header (the encoder's version, two bytes,
// and the size of the properties, two bytes), the 5 LZMA properties (lc/lp/pb and the
// dictionary size) and the raw LZMA stream, with or without an end mark.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace tarvo::unzip {

// The largest dictionary an entry may make us hold. The dictionary actually kept is the
// smaller of the declared one and the entry's size, and it grows with the output, so only
// a stream that really produces this much history reaches it. 7-Zip's ultra level uses
// 64 MiB.
constexpr std::uint64_t kLzmaDictionaryBudget = 256u * 1024 * 1024;

// Decodes up to size bytes into output. Input that runs out early ends decoding quietly
// (the CRC check then reports the short output); so does an end mark before size. Library
// failures raise EVmLZMAException with the library's result code; a dictionary beyond
// dictionaryBudget raises it with the memory code (2), an unexpected properties size with
// the unsupported code (4), a short write with the write code (9).
void DecodeLzma(core::TStream& input, core::TStream& output, std::uint64_t size,
                std::uint64_t dictionaryBudget = kLzmaDictionaryBudget);

// The version of the LZMA SDK the decoder was built from: the fetched 7zip source's
// ("26.01"), or, without it, lzma-dev's older one ("9.22 beta").
const char* LzmaSdkVersion() noexcept;

}  // namespace tarvo::unzip
