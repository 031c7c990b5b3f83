#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <vector>

#include "i18n/language.h"
#include "i18n/language_system.h"

namespace tarvo::i18n {

const char kPathDelimiter = '/';
const char kPathSeparators[] = "/";

namespace {

// "ll_CC[.codeset][@modifier]" -> "ll_CC" when both parts are two letters.
std::string LocaleLanguage(std::string_view locale) {
  const std::size_t cut = locale.find_first_of(".@");
  if (cut != std::string_view::npos) locale = locale.substr(0, cut);
  const std::size_t bar = locale.find('_');
  if (bar == std::string_view::npos) return {};
  return LanguageAndCountry(locale.substr(0, bar), locale.substr(bar + 1));
}

}  // namespace

std::string EnvironmentText(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string UserLocaleLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES"}) {
    std::string code = LocaleLanguage(EnvironmentText(name));
    if (!code.empty()) return code;
  }
  // What the process itself runs with; "C" and "POSIX" both mean no language.
  const char* current = std::setlocale(LC_MESSAGES, nullptr);
  std::string code = current ? LocaleLanguage(current) : std::string();
  return code.empty() ? "C" : code;
}

std::string ExecutablePath() {
  // No fixed buffer: deep install paths must not be cut short.
  std::vector<char> buf(512);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
    if (buf.size() > (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace tarvo::i18n
