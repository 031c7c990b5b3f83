// The archive library's exceptions. Every class has a fixed message (a resource string, so
// it can be translated) and an integer error code that item-failure reports carry.
#pragma once

#include <string>

#include "core/exception.h"

namespace tarvo::unzip {

class EVmException : public core::Exception {
public:
  explicit EVmException(std::string message, int errorCode = 0)
      : core::Exception(std::move(message)), FErrorCode(errorCode) {}
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

// Declares an exception class with its error code, the one place each code is written.
#define TARVO_VM_EXCEPTION(name, code)       \
  class name : public EVmException {         \
  public:                                    \
    static constexpr int kErrorCode = code;  \
    name();                                  \
  }

TARVO_VM_EXCEPTION(EVmZipVersion, 1);
TARVO_VM_EXCEPTION(EVmZipInvalidMethod, 2);
TARVO_VM_EXCEPTION(EVmZipNoExtraction, 3);
TARVO_VM_EXCEPTION(EVmZipInvalidPassword, 4);
TARVO_VM_EXCEPTION(EVmZipNoInsertion, 5);
TARVO_VM_EXCEPTION(EVmZipInvalidFactor, 6);
TARVO_VM_EXCEPTION(EVmUserAbort, 9);
TARVO_VM_EXCEPTION(EVmArchiveBusy, 10);
TARVO_VM_EXCEPTION(EVmZipBadSpanStream, 11);
TARVO_VM_EXCEPTION(EVmZipSpanOverwrite, 12);
TARVO_VM_EXCEPTION(EVmNoSuchDirectory, 15);
TARVO_VM_EXCEPTION(EVmZipBadCRC, 19);
TARVO_VM_EXCEPTION(EVmFileNotFound, 21);
TARVO_VM_EXCEPTION(EVmZipInvalidLFH, 22);
TARVO_VM_EXCEPTION(EVmNoArchive, 23);
TARVO_VM_EXCEPTION(EVmZipInvalid, 24);
TARVO_VM_EXCEPTION(EVmReadError, 25);
TARVO_VM_EXCEPTION(EVmUnhandledType, 28);
TARVO_VM_EXCEPTION(EVmSpanningNotSupported, 29);

#undef TARVO_VM_EXCEPTION

// Linux-build additions. An entry whose name would be written outside the base directory
// (absolute path, drive, "..", NUL) or whose file name is empty, "." or "..", or that
// would write through a symbolic link: it fails as that entry's failure.
class EVmUnsafePath : public EVmException {
public:
  static constexpr int kErrorCode = 30;
  EVmUnsafePath();
};

// An entry whose decoded data runs past its declared uncompressed size: decoding stops
// there and the entry fails as corrupt.
class EVmZipDataOverrun : public EVmException {
public:
  static constexpr int kErrorCode = 31;
  EVmZipDataOverrun();
};

// An entry whose data overlaps another entry's data or the central directory (the
// overlapping-entries zip bomb): the entry fails.
class EVmZipOverlap : public EVmException {
public:
  static constexpr int kErrorCode = 32;
  EVmZipOverlap();
};

// The checks of a gzip member's trailer: the CRC-32 and the size (modulo 2^32) of the
// decoded data.
class EVmGzipBadCRC : public EVmException {
public:
  static constexpr int kErrorCode = 33;
  EVmGzipBadCRC();
};
class EVmGzipBadSize : public EVmException {
public:
  static constexpr int kErrorCode = 34;
  EVmGzipBadSize();
};

// A tar entry that is a link, a device or a FIFO: nothing is created for it, and the
// failure names the entry.
class EVmNotCreated : public EVmException {
public:
  static constexpr int kErrorCode = 35;
  explicit EVmNotCreated(const std::string& entryName);
};

// A sparse tar entry whose map does not hold together (chunks that overlap, go backwards,
// reach past the real size, or do not add up to the stored data), and one whose holes
// exceed what its stored data allows (see tar_sparse.h): the entry fails alone.
class EVmSparseMap : public EVmException {
public:
  static constexpr int kErrorCode = 36;
  EVmSparseMap();
};
class EVmSparseTooLarge : public EVmException {
public:
  static constexpr int kErrorCode = 37;
  EVmSparseTooLarge();
};

// A compressed file whose content decodes to more than its size could hold (see
// kMaxExpansion in stream_archive.h): a bomb, refused before it fills a disk.
class EVmContentTooLarge : public EVmException {
public:
  static constexpr int kErrorCode = 38;
  EVmContentTooLarge();
};

// "Invalid Stream", or made around an inner failure: "Invalid Stream\r\n<inner message>".
class EVmBadStream : public EVmException {
public:
  static constexpr int kErrorCode = 17;
  EVmBadStream();
  explicit EVmBadStream(const std::string& innerMessage);
};

// A damaged Deflate or Deflate64 stream: "Vellmora inflate error, possibly a corrupted
// compressed stream. (Internal cause: <cause>)". Carries no error code.
class EVmInflateError : public EVmException {
public:
  explicit EVmInflateError(const std::string& internalCause);
};

}  // namespace tarvo::unzip
