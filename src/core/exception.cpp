#include "core/exception.h"

#include <cerrno>
#include <cstring>

#include "core/core_strings.h"
#include "core/format.h"

namespace tarvo::core {

EReadError::EReadError() : EStreamError(LoadResString(SReadError)) {}

EWriteError::EWriteError() : EStreamError(LoadResString(SWriteError)) {}

EFCreateError::EFCreateError(const std::string& fileName, int errorNumber)
    : EStreamError(Format(LoadResString(SFCreateErrorEx), {fileName, SysErrorMessage(errorNumber)})),
      FErrorCode(errorNumber) {}

EFOpenError::EFOpenError(const std::string& fileName, int errorNumber)
    : EStreamError(Format(LoadResString(SFOpenErrorEx), {fileName, SysErrorMessage(errorNumber)})),
      FErrorCode(errorNumber) {}

EInOutError::EInOutError(int errorCode)
    : Exception(Format(LoadResString(SInOutError), {std::to_string(errorCode)}) + ": " + SysErrorMessage(errorCode)),
      FErrorCode(errorCode) {}

std::string SysErrorMessage(int errorNumber) {
  switch (errorNumber) {
    case ENOENT: return LoadResString(SSysENOENT);
    case EACCES: return LoadResString(SSysEACCES);
    case EPERM: return LoadResString(SSysEPERM);
    case ENOSPC: return LoadResString(SSysENOSPC);
#ifdef EDQUOT  // no disk quotas in the Windows C library's numbers
    case EDQUOT: return LoadResString(SSysEDQUOT);
#endif
    case EROFS: return LoadResString(SSysEROFS);
    case EEXIST: return LoadResString(SSysEEXIST);
    case EISDIR: return LoadResString(SSysEISDIR);
    case ENOTDIR: return LoadResString(SSysENOTDIR);
    case ENAMETOOLONG: return LoadResString(SSysENAMETOOLONG);
    case EMFILE:
    case ENFILE: return LoadResString(SSysEMFILE);
    case EIO: return LoadResString(SSysEIO);
    case EBUSY: return LoadResString(SSysEBUSY);
    case ETXTBSY: return LoadResString(SSysETXTBSY);
    default: break;
  }
  return SystemErrorText(errorNumber);
}

}  // namespace tarvo::core
