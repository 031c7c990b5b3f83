#include "unzip/vm_exception.h"

#include "core/format.h"
#include "unzip/vm_strings.h"

namespace tarvo::unzip {

using core::LoadResString;

#define TARVO_VM_EXCEPTION_BODY(name, text, code) \
  name::name() : EVmException(LoadResString(text), code) {}

TARVO_VM_EXCEPTION_BODY(EVmZipVersion, SVmZipVersion, 1)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidMethod, SVmZipInvalidMethod, 2)
TARVO_VM_EXCEPTION_BODY(EVmZipNoExtraction, SVmZipNoExtraction, 3)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidPassword, SVmZipInvalidPassword, 4)
TARVO_VM_EXCEPTION_BODY(EVmZipNoInsertion, SVmZipNoInsertion, 5)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidFactor, SVmZipInvalidFactor, 6)
TARVO_VM_EXCEPTION_BODY(EVmUserAbort, SVmUserAbort, 9)
TARVO_VM_EXCEPTION_BODY(EVmArchiveBusy, SVmArchiveBusy, 10)
TARVO_VM_EXCEPTION_BODY(EVmZipBadSpanStream, SVmZipBadSpanStream, 11)
TARVO_VM_EXCEPTION_BODY(EVmZipSpanOverwrite, SVmZipSpanOverwrite, 12)
TARVO_VM_EXCEPTION_BODY(EVmNoSuchDirectory, SVmNoSuchDirectory, 15)
TARVO_VM_EXCEPTION_BODY(EVmZipBadCRC, SVmZipBadCRC, 19)
TARVO_VM_EXCEPTION_BODY(EVmFileNotFound, SVmFileNotFound, 21)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalidLFH, SVmZipInvalidLFH, 22)
TARVO_VM_EXCEPTION_BODY(EVmNoArchive, SVmNoArchive, 23)
TARVO_VM_EXCEPTION_BODY(EVmZipInvalid, SVmZipInvalid, 24)
TARVO_VM_EXCEPTION_BODY(EVmReadError, SVmReadError, 25)
TARVO_VM_EXCEPTION_BODY(EVmUnhandledType, SVmUnhandledType, 28)
TARVO_VM_EXCEPTION_BODY(EVmSpanningNotSupported, SVmSpanningNotSupported, 29)

#undef TARVO_VM_EXCEPTION_BODY

EVmUnsafePath::EVmUnsafePath() : EVmException(LoadResString(SVmUnsafePath), 30) {}

EVmZipDataOverrun::EVmZipDataOverrun() : EVmException(LoadResString(SVmZipDataOverrun), 31) {}

EVmZipOverlap::EVmZipOverlap() : EVmException(LoadResString(SVmZipOverlap), 32) {}

EVmGzipBadCRC::EVmGzipBadCRC() : EVmException(LoadResString(SVmGzipBadCRC), 33) {}

EVmGzipBadSize::EVmGzipBadSize() : EVmException(LoadResString(SVmGzipBadSize), 34) {}

EVmNotCreated::EVmNotCreated(const std::string& entryName)
    : EVmException(core::Format(LoadResString(SVmNotCreated), {entryName}), 35) {}

EVmBadStream::EVmBadStream() : EVmException(LoadResString(SVmBadStream), 17) {}

EVmBadStream::EVmBadStream(const std::string& innerMessage)
    : EVmException(LoadResString(SVmBadStream) + "\r\n" + innerMessage, 17) {}

EVmInflateError::EVmInflateError(const std::string& internalCause)
    : EVmException(core::Format(LoadResString(SVmInflateError), {internalCause}), 0) {}

}  // namespace tarvo::unzip
