#include "i18n/language.h"

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <vector>

#include "core/text_case.h"

namespace tarvo::i18n {

namespace {

using u64 = unsigned long long;

u64 Abs(long long n) { return n < 0 ? 0ull - static_cast<u64>(n) : static_cast<u64>(n); }

int GermanicPlural(long long n) { return Abs(n) == 1 ? 0 : 1; }
int NoPlural(long long) { return 0; }
int FrenchPlural(long long n) { return Abs(n) <= 1 ? 0 : 1; }
int LatvianPlural(long long n) {
  const u64 v = Abs(n);
  return (v % 10 == 1 && v % 100 != 11) ? 0 : (v != 0 ? 1 : 2);
}
int IrishPlural(long long n) {
  const u64 v = Abs(n);
  return v == 1 ? 0 : (v == 2 ? 1 : 2);
}
int LithuanianPlural(long long n) {
  const u64 v = Abs(n);
  if (v % 10 == 1 && v % 100 != 11) return 0;
  if (v % 10 == 0 || (v % 100 >= 10 && v % 100 <= 19)) return 2;
  return 1;
}
int SlavicPlural(long long n) {
  const u64 v = Abs(n);
  if (v % 10 == 1 && v % 100 != 11) return 0;
  if (v % 10 >= 2 && v % 10 <= 4 && !(v % 100 >= 10 && v % 100 <= 19)) return 1;
  return 2;
}
int CzechPlural(long long n) {
  const u64 v = Abs(n);
  return v == 1 ? 0 : (v >= 2 && v <= 4 ? 1 : 2);
}
int PolishPlural(long long n) {
  const u64 v = Abs(n);
  if (v == 1) return 0;
  if (v % 10 >= 2 && v % 10 <= 4 && !(v % 100 >= 10 && v % 100 <= 19)) return 1;
  return 2;
}
int SlovenianPlural(long long n) {
  const u64 v = Abs(n) % 100;
  return v == 1 ? 0 : (v == 2 ? 1 : (v == 3 || v == 4 ? 2 : 3));
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

bool TwoLetters(std::string_view s) {
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  return s.size() == 2 && letter(s[0]) && letter(s[1]);
}

// "ll_CC[.codeset][@modifier]" -> "ll_CC" when both parts are two letters.
std::string LanguageAndCountry(std::string_view locale) {
  const std::size_t cut = locale.find_first_of(".@");
  if (cut != std::string_view::npos) locale = locale.substr(0, cut);
  const std::size_t bar = locale.find('_');
  if (bar == std::string_view::npos) return {};
  std::string language = core::LowerCase(locale.substr(0, bar));
  const std::string_view country = locale.substr(bar + 1);
  if (!TwoLetters(language) || !TwoLetters(country)) return {};
  if (language == "no") language = "nb";
  return language + "_" + std::string(country);
}

}  // namespace

std::string DetectSystemLanguage() {
  std::string code = Env("LANG");
  if (code.empty()) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES"}) {
      code = LanguageAndCountry(Env(name));
      if (!code.empty()) break;
    }
  }
  if (code.empty()) {
    // What the process itself runs with; "C" and "POSIX" both mean no language.
    const char* current = std::setlocale(LC_MESSAGES, nullptr);
    code = current ? LanguageAndCountry(current) : std::string();
    if (code.empty()) code = "C";
  }
  const std::size_t dot = code.find('.');
  if (dot != std::string::npos) code.resize(dot);
  return code;
}

TGetPluralForm PluralRuleFor(std::string_view code) {
  const std::string lower = core::LowerCase(code);
  const std::string p = lower.substr(0, 2);
  if (p == "en" || p == "de") return &GermanicPlural;
  if (p == "hu" || p == "ko" || p == "zh" || p == "ja" || p == "tr") return &NoPlural;
  if (p == "fr" || p == "fa" || lower == "pt_br") return &FrenchPlural;
  if (p == "lv") return &LatvianPlural;
  if (p == "ga") return &IrishPlural;
  if (p == "lt") return &LithuanianPlural;
  if (p == "ru" || p == "uk" || p == "hr") return &SlavicPlural;
  if (p == "cs" || p == "sk") return &CzechPlural;
  if (p == "pl") return &PolishPlural;
  if (p == "sl") return &SlovenianPlural;
  return &GermanicPlural;
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
