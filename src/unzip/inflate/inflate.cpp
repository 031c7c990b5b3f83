// Placeholder until the decoder lands: every Deflate stream is refused as an unsupported
// method, so callers can already be wired to the final interface.
#include "unzip/inflate/inflate.h"

#include "unzip/vm_exception.h"

namespace tarvo::unzip {

std::uint32_t Inflate(core::TStream&, core::TStream&, TVmDeflateHelper*) { throw EVmZipInvalidMethod(); }

}  // namespace tarvo::unzip
