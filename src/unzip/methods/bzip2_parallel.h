// Decodes one bzip2 stream on several cores. A bzip2 stream is a header ("BZh" and the
// block size digit), blocks that each start with the 48-bit magic 314159265359h at any bit
// offset, and the end mark 177245385090h with the combined CRC of the blocks. Blocks do not
// depend on each other: each is cut out at the magics, re-aligned into a one-block stream
// of its own and decoded by libbz2 in a worker, and the results are written in order.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace tarvo::unzip {

// Writes the first `size` bytes the bzip2 stream at input's position decodes to; returns
// how many were written (fewer when the stream ends first). Memory stays bounded: a few
// blocks are in flight, input is read ahead only as far as they reach, and a block that
// decodes to more than a worker may hold is decoded again here, straight to output.
//
// The result is the serial decoder's: a magic that occurs inside block data by chance
// makes a piece that fails, which is merged with the next; a stream that cannot be cut
// (damaged, cut short, or too small to gain from workers) is decoded serially from the
// first block not yet written, so it fails with libbz2's own code.
// A combined CRC that does not match the blocks raises libbz2's data error ("error -4")
// when the last block was written whole. Once the request is filled nothing further is
// judged (libbz2 may still find a fault in the next block's tables then).
// A piece that no merge makes whole (damage, or a block crafted full of magics) sends the
// stream to the serial decoder from its start again, passing over what was written, when
// the input is rewindable; otherwise the rest is decoded on its own, whose combined CRC
// then covers only its own blocks.
// workers = 0 takes the processors that no other thread is running on at the call (at
// least 1); 1 decodes serially.
// rewindable: input can be set back to where the stream starts and read again the same.
// streamEnd, when given, receives how many input bytes the stream took when its end mark
// was decoded and checked, else kNoStreamEnd (the input is read ahead beyond it).
inline constexpr std::uint64_t kNoStreamEnd = ~std::uint64_t{0};
std::uint64_t DecodeBzip2Blocks(core::TStream& input, core::TStream& output, std::uint64_t size,
                                unsigned workers = 0, bool rewindable = false, std::uint64_t* streamEnd = nullptr);

}  // namespace tarvo::unzip
