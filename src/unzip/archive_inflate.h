// The Deflate decoder as the archive library calls it: a damaged stream raises the archive
// library's EVmInflateError, whose message wraps the decoder's own cause.
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "unzip/inflate/inflate.h"

namespace tarvo::unzip {

// Inflate (see inflate/inflate.h); EVmInternalInflateError leaves as EVmInflateError.
std::uint32_t InflateArchiveData(core::TStream& source, core::TStream& dest, TVmDeflateHelper* helper);

}  // namespace tarvo::unzip
