#include <windows.h>

#include <algorithm>

#include "core/utf16.h"
#include "platform/code_page.h"

namespace tarvo::platform {

unsigned AnsiCodePage() noexcept { return ::GetACP(); }
unsigned OemCodePage() noexcept { return ::GetOEMCP(); }

std::string CodePageToUtf8(unsigned codePage, std::string_view bytes) {
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(bytes);
  std::wstring wide;
  // One byte at a time for the bytes the code page leaves undefined: they become the
  // character of the same number, so nothing is dropped.
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t run = i;
    while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) ++run;
    if (run > i) {
      for (std::size_t k = i; k < run; ++k) wide.push_back(static_cast<wchar_t>(bytes[k]));
      i = run;
      continue;
    }
    wchar_t out[2];
    int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data() + i, 1, out, 2);
    if (n <= 0) {
      wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
    } else {
      wide.append(out, static_cast<std::size_t>(n));
    }
    ++i;
  }
  return core::WideToUtf8(wide);
}

}  // namespace tarvo::platform
