// Language codes: which language the user's environment asks for, and how each language
// chooses among plural forms.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::i18n {

// From LANG, else from the user's locale settings (LC_ALL, LC_MESSAGES) when they name a
// two-letter language and country, else from the process locale; "C" when nothing says
// more. A code-set suffix ("fr_BE.UTF-8") is cut off.
std::string DetectSystemLanguage();

// Index of the plural form for count n (its sign ignored).
using TGetPluralForm = int (*)(long long n);
// The rule of a language code; codes without a rule of their own count like English.
TGetPluralForm PluralRuleFor(std::string_view code);

// Full path of the running executable.
std::string ExecutablePath();

}  // namespace tarvo::i18n
