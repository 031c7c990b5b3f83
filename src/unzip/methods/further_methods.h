// The ZIP methods beyond stored and Deflate: shrink (1), reduce (2-5), implode (6),
// bzip2 (12), LZMA (14), WavPack (97) and PPMd (98, when built with the SDK's PPMd). Entry
// decoding hands them the entry's input and its CRC-checking output stream; what they raise
// passes on unchanged.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace tarvo::unzip {

// Decodes one entry of method (the top bit already cleared) with its general purpose
// flags (bits 1 and 2 choose the dictionary and tree count of method 6) and declared
// uncompressed size. Returns false, having read nothing, for a method it does not know.
bool DecodeFurtherMethod(std::uint16_t method, std::uint16_t flags, core::TStream& input, core::TStream& output,
                         std::uint64_t size);

}  // namespace tarvo::unzip
