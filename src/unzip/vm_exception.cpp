#include "unzip/vm_exception.h"

#include "core/format.h"
#include "unzip/vm_strings.h"

namespace tarvo::unzip {

using core::LoadResString;

#define TARVO_VM_EXCEPTION_BODY(name, text) \
  name::name() : EVmException(LoadResString(text), kErrorCode) {}

TARVO_VM_EXCEPTION_BODY(EVmZipVersion, SVmZipVersion)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidMethod, SVmZipInvalidMethod)
TARVO_VM_EXCEPTION_BODY(EVmZipNoExtraction, SVmZipNoExtraction)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidPassword, SVmZipInvalidPassword)
TARVO_VM_EXCEPTION_BODY(EVmZipNoInsertion, SVmZipNoInsertion)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidFactor, SVmZipInvalidFactor)
TARVO_VM_EXCEPTION_BODY(EVmUserAbort, SVmUserAbort)
TARVO_VM_EXCEPTION_BODY(EVmArchiveBusy, SVmArchiveBusy)
TARVO_VM_EXCEPTION_BODY(EVmZipBadSpanStream, SVmZipBadSpanStream)
TARVO_VM_EXCEPTION_BODY(EVmZipSpanOverwrite, SVmZipSpanOverwrite)
TARVO_VM_EXCEPTION_BODY(EVmNoSuchDirectory, SVmNoSuchDirectory)
TARVO_VM_EXCEPTION_BODY(EVmZipBadCRC, SVmZipBadCRC)
TARVO_VM_EXCEPTION_BODY(EVmFileNotFound, SVmFileNotFound)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidLFH, SVmZipInvalidLFH)
TARVO_VM_EXCEPTION_BODY(EVmNoArchive, SVmNoArchive)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalid, SVmZipInvalid)
TARVO_VM_EXCEPTION_BODY(EVmReadError, SVmReadError)
TARVO_VM_EXCEPTION_BODY(EVmUnhandledType, SVmUnhandledType)
TARVO_VM_EXCEPTION_BODY(EVmSpanningNotSupported, SVmSpanningNotSupported)

#undef TARVO_VM_EXCEPTION_BODY

EVmUnsafePath::EVmUnsafePath() : EVmException(LoadResString(SVmUnsafePath), kErrorCode) {}

EVmZipDataOverrun::EVmZipDataOverrun() : EVmException(LoadResString(SVmZipDataOverrun), kErrorCode) {}

EVmZipOverlap::EVmZipOverlap() : EVmException(LoadResString(SVmZipOverlap), kErrorCode) {}

EVmGzipBadCRC::EVmGzipBadCRC() : EVmException(LoadResString(SVmGzipBadCRC), kErrorCode) {}

EVmGzipBadSize::EVmGzipBadSize() : EVmException(LoadResString(SVmGzipBadSize), kErrorCode) {}

EVmNotCreated::EVmNotCreated(const std::string& entryName)
    : EVmException(core::Format(LoadResString(SVmNotCreated), {entryName}), kErrorCode) {}

EVmSparseMap::EVmSparseMap() : EVmException(LoadResString(SVmSparseMap), kErrorCode) {}

EVmSparseTooLarge::EVmSparseTooLarge() : EVmException(LoadResString(SVmSparseTooLarge), kErrorCode) {}

EVmContentTooLarge::EVmContentTooLarge() : EVmException(LoadResString(SVmContentTooLarge), kErrorCode) {}

EVmBadStream::EVmBadStream() : EVmException(LoadResString(SVmBadStream), kErrorCode) {}

EVmBadStream::EVmBadStream(const std::string& innerMessage)
    : EVmException(LoadResString(SVmBadStream) + "\r\n" + innerMessage, kErrorCode) {}

EVmInflateError::EVmInflateError(const std::string& internalCause)
    : EVmException(core::Format(LoadResString(SVmInflateError), {internalCause}), 0) {}

}  // namespace tarvo::unzip
