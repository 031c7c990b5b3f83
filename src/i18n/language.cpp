#include "i18n/language.h"

#include "core/text_case.h"
#include "i18n/language_system.h"

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

bool TwoLetters(std::string_view s) {
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  return s.size() == 2 && letter(s[0]) && letter(s[1]);
}

}  // namespace

std::string LanguageAndCountry(std::string_view language, std::string_view country) {
  if (!TwoLetters(language) || !TwoLetters(country)) return {};
  std::string code = core::LowerCase(language);
  if (code == "no") code = "nb";
  return code + "_" + std::string(country);
}

std::string WithPathDelimiter(std::string dir) {
  if (dir.empty() || std::string_view(kPathSeparators).find(dir.back()) == std::string_view::npos) dir += kPathDelimiter;
  return dir;
}

std::string DetectSystemLanguage() {
  std::string code = EnvironmentText("LANG");
  if (code.empty()) code = UserLocaleLanguage();
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

}  // namespace tarvo::i18n
