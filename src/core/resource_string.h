// Resource strings: every fixed message text of the system is a constant of this kind and
// is loaded through one replaceable loader, so that a translation service can hand out
// translated texts without the code that raises the message knowing about it.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::core {

struct TResourceString {
  std::uint32_t Id;  // unique within the program; 65536 and above is not a valid identifier
  const char* Text;  // the program's own text (UTF-8)
};

using TResStringLoader = std::string (*)(const TResourceString&);

// The text of a resource string as the current loader gives it.
std::string LoadResString(const TResourceString& rs);

// Installs a loader (nullptr restores the default) and returns the previous one.
TResStringLoader SetResStringLoader(TResStringLoader loader) noexcept;

// The untranslated text; also the fallback a replacing loader may call.
std::string DefaultResStringLoader(const TResourceString& rs);

}  // namespace tarvo::core

// Declares a resource string constant: TARVO_RESOURCESTRING(SReadError, 1, "Stream read error");
#define TARVO_RESOURCESTRING(name, id, text) \
  inline constexpr ::tarvo::core::TResourceString name{id, text}
