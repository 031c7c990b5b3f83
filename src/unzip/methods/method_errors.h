// Failures of the further compression methods. All are archive exceptions, so an entry
// that fails with one of them is reported like any other damaged entry.
#pragma once

#include <cstdint>
#include <string>

#include "unzip/vm_exception.h"

namespace tarvo::unzip {

// A shrunk, reduced or imploded stream that breaks its format (an LZW code that is not
// defined, a follower-set index past the set, a Shannon-Fano tree that is over-full or
// does not cover its alphabet). The cause is named in the message.
class EVmLegacyDataError : public EVmException {
public:
  explicit EVmLegacyDataError(const std::string& cause);
};

// The window over the legacy decoders' output was asked for something it cannot do.
class EVmSlidingWindowError : public EVmException {
public:
  using EVmException::EVmException;
};

// libbz2 reported an error ("error <code>"), or the stream was written or moved.
class EBZDecompressionError : public EVmException {
public:
  using EVmException::EVmException;
};

// The LZMA decoder's result code, with its fixed message; ErrorCode() is the code.
class EVmLZMAException : public EVmException {
public:
  explicit EVmLZMAException(int result);
};

// A PPMd model the SDK cannot make: an order or restoration method it does not know
// ("PPMd model not supported (order 1, restoration method 0)", code 4), or memory the system
// would not give ("Not enough memory for a PPMd model of 256 MiB", code 2). The codes are
// the SDK's result codes, as for LZMA.
class EVmPPMdError : public EVmException {
public:
  static EVmPPMdError Unsupported(unsigned order, unsigned restoreMethod);
  static EVmPPMdError OutOfMemory(std::uint32_t memoryMiB);

private:
  EVmPPMdError(std::string message, int errorCode) : EVmException(std::move(message), errorCode) {}
};

// libwavpack could not open the entry: "WavPack decompression failed: <library text>".
class EVmWavPackError : public EVmException {
public:
  explicit EVmWavPackError(const std::string& libraryText);
};

}  // namespace tarvo::unzip
