// Decodes a bzip2 stream block by block on workers and serially, and compares: the same
// failure, and output that agrees as far as both went (the serial decoder drops the piece
// it was filling when it fails). The first two bytes give the size asked for. A crash, a
// sanitizer report, a hang or a difference is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "unzip/methods/bzip2_parallel.h"

using namespace tarvo;

namespace {

struct TOutcome {
  std::string Output, Error;
  std::uint64_t End = unzip::kNoStreamEnd;
};

TOutcome Decode(const std::vector<std::uint8_t>& stream, std::uint64_t size, unsigned workers,
                bool rewindable = false) {
  core::TMemoryStream in(stream), out;
  TOutcome outcome;
  try {
    unzip::DecodeBzip2Blocks(in, out, size, workers, rewindable, &outcome.End);
  } catch (const core::Exception& e) {
    outcome.Error = e.Message();
  }
  outcome.Output = out.DataString();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Up to 1 MiB: ten blocks of level 1, and quick enough to run both decoders.
  const std::uint64_t declared = (std::uint64_t{data[0]} | std::uint64_t{data[1]} << 8) * 16 + 1;
  const std::vector<std::uint8_t> stream(data + 2, data + size);
  const TOutcome serial = Decode(stream, declared, 1);
  const TOutcome parallel = Decode(stream, declared, 2);
  const std::size_t common = std::min(serial.Output.size(), parallel.Output.size());
  // Once the request is filled, libbz2 may go on to fault the next block's tables, which
  // the block decoder does not read.
  const bool filled = serial.Output.size() == declared;
  const bool sameError = parallel.Error == serial.Error || (filled && parallel.Error.empty());
  if (!sameError || parallel.Output.compare(0, common, serial.Output, 0, common) != 0 ||
      (serial.Error.empty() && parallel.Output.size() != serial.Output.size()))
    std::abort();
  // The whole stream from an input that can go back to its start, as a .bz2 file is read:
  // the same bytes, the same verdict and the same end.
  const TOutcome whole = Decode(stream, unzip::kNoStreamEnd, 1);
  const TOutcome rewound = Decode(stream, unzip::kNoStreamEnd, 2, true);
  if (whole.Error != rewound.Error || whole.End != rewound.End ||
      rewound.Output.compare(0, std::min(whole.Output.size(), rewound.Output.size()), whole.Output, 0,
                             std::min(whole.Output.size(), rewound.Output.size())) != 0 ||
      (whole.Error.empty() && whole.Output != rewound.Output))
    std::abort();
  return 0;
}
