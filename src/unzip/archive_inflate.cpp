#include "unzip/archive_inflate.h"

#include "unzip/inflate/inflate_error.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

std::uint32_t InflateArchiveData(core::TStream& source, core::TStream& dest, TVmDeflateHelper* helper) {
  try {
    return Inflate(source, dest, helper);
  } catch (const EVmInternalInflateError& e) {
    throw EVmInflateError(e.Message());
  }
}

}  // namespace tarvo::unzip
