// Built when the LZMA SDK's PPMd files were not available: method 98 is unsupported.
#include "unzip/methods/ppmd_decoder.h"

#include "unzip/vm_exception.h"

namespace tarvo::unzip {

bool PpmdBuiltIn() noexcept { return false; }

void DecodePpmd(core::TStream&, core::TStream&, std::uint32_t) { throw EVmZipInvalidMethod(); }

}  // namespace tarvo::unzip
