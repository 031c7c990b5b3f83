#include <windows.h>

#include "core/utf16.h"
#include "http/auth_host_name.h"

namespace tarvo::http {

std::string NTLMWorkstationName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  // The NetBIOS name: never a domain part.
  if (!::GetComputerNameW(name, &length)) return {};
  return core::WideToUtf8(std::wstring_view(name, length));
}

}  // namespace tarvo::http
