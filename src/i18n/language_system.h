// What DetectSystemLanguage asks of the system (language_posix.cpp, language_windows.cpp).
#pragma once

#include <string>
#include <string_view>

namespace tarvo::i18n {

// The characters that end a folder name in a path ("/"; on Windows also "\\"), and the one
// this system writes between the parts of a path it makes.
extern const char kPathSeparators[];
extern const char kPathDelimiter;

// dir with a delimiter at its end (dir itself when it already ends in a separator).
std::string WithPathDelimiter(std::string dir);

// An environment variable's value as UTF-8; empty when it is not set.
std::string EnvironmentText(const char* name);

// The language of the user's locale settings as "ll_CC", or "C" when they name none.
std::string UserLocaleLanguage();

// "ll" and "CC" as "ll_CC" when both are two letters ("no" read as "nb"); else empty.
std::string LanguageAndCountry(std::string_view language, std::string_view country);

}  // namespace tarvo::i18n
