#include "core/exception.h"

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
  char buf[256];
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = strerror_r(errorNumber, buf, sizeof buf);
  return text ? std::string(text) : std::string();
}

}  // namespace tarvo::core
