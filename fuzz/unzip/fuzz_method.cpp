// Runs one of the further decoders over raw entry data. FUZZ_METHOD picks the decoder (for
// reduce, the first byte picks the factor). The first byte also gives the general purpose
// flags (implode's dictionary and tree count); the next two the declared size. Any
// exception with a message is a clean refusal; a crash, a sanitizer report, a hang or
// output beyond the declared size is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "unzip/methods/further_methods.h"
#include "unzip/output_stream.h"

using namespace tarvo;
using namespace tarvo::unzip;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::uint16_t method = FUZZ_METHOD;
  if (method >= 2 && method <= 5) method = static_cast<std::uint16_t>(2 + (data[0] >> 4 & 3));
  const std::uint16_t flags = data[0] & 0x06;
  // Up to 1 MiB: enough for every window and dictionary path, small enough to stay fast.
  const std::uint64_t declared = (std::uint64_t{data[1]} | std::uint64_t{data[2]} << 8) * 16 + 1;
  core::TMemoryStream input(std::vector<std::uint8_t>(data + 3, data + size));
  core::TNullStream sink;
  TVmUnzipOutputStream output(sink, declared, nullptr);
  try {
    DecodeFurtherMethod(method, flags, input, output, declared);
  } catch (const core::Exception&) {
  }
  if (output.BytesWritten() > declared) std::abort();
  return 0;
}
