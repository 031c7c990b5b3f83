#include <windows.h>

#include <vector>

#include "core/utf16.h"
#include "i18n/language.h"
#include "i18n/language_system.h"

namespace tarvo::i18n {

const char kPathDelimiter = '\\';
const char kPathSeparators[] = "\\/";

namespace {

// A locale item of the user's default locale, read into a buffer of 10 characters.
std::string UserLocaleItem(LCTYPE item) {
  wchar_t buf[10];
  int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buf, 10);
  // Two letters and the terminator, nothing else.
  if (n != 3) return {};
  return core::WideToUtf8(std::wstring_view(buf, 2));
}

// The thread locales the user's settings may fall back to.
struct TLocaleCode {
  LCID Locale;
  const char* Code;
};
constexpr TLocaleCode kThreadLocales[] = {
    {1030, "da_DK"}, {1031, "de_DE"}, {1032, "el_GR"}, {1033, "en_US"}, {1034, "es_ES"}, {3082, "es_ES"},
    {1035, "fi_FI"}, {1036, "fr_FR"}, {1039, "is_IS"}, {1040, "it_IT"}, {1042, "ko_KO"}, {1043, "nl_NL"},
    {1044, "nb_NO"}, {1045, "pl_PL"}, {1046, "pt_BR"}, {1049, "ru_RU"}, {1053, "sv_SE"}, {2057, "en_GB"},
    {2060, "fr_BE"}, {2067, "nl_BE"}, {2068, "nn_NO"}, {2070, "pt_PT"}, {2077, "sv_FI"}, {3084, "fr_CA"},
    {4103, "de_LU"},
};

}  // namespace

std::string EnvironmentText(const char* name) {
  const std::wstring wideName = core::Utf8ToWide(name);
  std::vector<wchar_t> buf(256);
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return core::WideToUtf8(std::wstring_view(buf.data(), n));
    buf.resize(n);  // n counts the terminator when the buffer was too small
  }
}

std::string UserLocaleLanguage() {
  std::string code = LanguageAndCountry(UserLocaleItem(LOCALE_SISO639LANGNAME), UserLocaleItem(LOCALE_SISO3166CTRYNAME));
  if (!code.empty()) return code;
  const LCID locale = ::GetThreadLocale();
  for (const TLocaleCode& entry : kThreadLocales)
    if (entry.Locale == locale) return entry.Code;
  return "C";
}

std::string ExecutablePath() {
  // No fixed buffer: deep install paths (up to the 32767 characters of a long path) must
  // not be cut short; GetModuleFileNameW fills the whole buffer when it is too small.
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return core::WideToUtf8(std::wstring_view(buf.data(), n));
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace tarvo::i18n
