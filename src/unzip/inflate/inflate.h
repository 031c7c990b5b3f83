// Raw Deflate (RFC 1951) and Deflate64 decoding from one stream into another.
//
// Inflate reads from the source's current position and writes at the destination's
// current position. It returns the checksum of the produced bytes: CRC-32, or Adler-32
// with option dfc_UseAdler32. A damaged stream raises EVmInternalInflateError (its message
// the cause, inflate_error.h; the archive library wraps it in its own error); errors of the
// streams themselves (read or write failures) pass on unchanged. Ending early because the
// part size was reached or the progress callback asked to stop is not an error: the result
// is then 0, and what was produced until then has been written.
//
// What counts as damaged: a reserved block type, a stored length whose complement does not
// match, more than 286 literal/length or 30 distance codes (32 in Deflate64), a repeat code
// with nothing to repeat or running past the declared lengths, a bit pattern that no code
// owns, a length/distance symbol the mode does not have, a distance reaching before the
// first byte produced, and input that ends before the final block does (any bit consumed
// beyond the last input byte), and a code with more codes than its lengths allow (over-
// subscribed). Incomplete codes are decoded as they stand. Bytes
// after the final block are left unread except for the read-ahead below.
//
// Input is read in 16 KiB blocks; FSizeCompressed counts every byte taken from the source,
// read-ahead included. A source that lends its bytes (a memory stream, or an archive entry
// in one) is decoded in place with the same blocks, without a copy. Memory use is fixed
// (under 1 MB) whatever the size of the stream.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/stream.h"

namespace tarvo::unzip {

// Option bits of TVmDeflateHelper::FOptions that the decoder consults.
enum : std::uint32_t {
  dfc_Deflate64 = 0x10,
  dfc_UseAdler32 = 0x20,
  dfc_TestOnly = 0x40000000,
};

// Progress in whole percent; setting Abort stops decoding (not an error).
using TVmProgressStepEvent = std::function<void(int percent, bool& abort)>;

// Settings shared with the compressor; the decoder reads only some of them and fills in
// the two result sizes.
struct TVmDeflateHelper {
  std::uint32_t FOptions = 15;
  std::int64_t FPartSize = 0;        // > 0: stop once this many bytes were produced (exactly
                                     // that many are written)
  std::int64_t FStreamSize = -1;     // for progress; -1 (all ones): use the source's size
  TVmProgressStepEvent FOnProgressStep;
  std::string FLogFile;              // empty: no log
  // Compressor settings, unused when decoding.
  int FAmpleLength = 8;
  int FChainLength = 32;
  int FMaxLazy = 16;
  int FWindowSize = 32768;
  char FZipOption = 'n';
  // Results.
  std::int64_t FSizeCompressed = 0;  // bytes the source moved (includes read-ahead)
  std::int64_t FSizeNormal = 0;      // bytes produced
  std::int64_t FSizeConsumed = 0;    // bytes up to the end of the final block (what a
                                     // container's trailer follows)
};

std::uint32_t Inflate(core::TStream& source, core::TStream& dest, TVmDeflateHelper* helper = nullptr);

// The decode loop is built twice: for processors with BMI2, and plainly for every
// other (and the 32-bit build's older targets); the table builder counts and sorts code
// lengths with AVX-512 where the processor has it. Inflate runs the better code the
// processor has; with this turned on, the calling thread runs the plain code of both, so
// tests can check both on any machine.
void UsePlainInflateLoop(bool plain) noexcept;

}  // namespace tarvo::unzip
