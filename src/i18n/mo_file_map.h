// A catalog file mapped read-only as a whole, the one system-specific step of TMoFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvo::i18n {

struct TMoFileMap {
  void* View = nullptr;     // nullptr for an empty file, which cannot be mapped
  std::uint64_t Size = 0;   // bytes of the file
};

// Maps fileName for reading. Raises EGettextIOError "Cannot open file <name>", "Cannot
// create memory map on file <name>" (also for anything but a regular file) or "Cannot map
// file <name> into memory. Reason: <system text>".
TMoFileMap MapMoFile(const std::string& fileName);
// Releases a view MapMoFile returned (a null view is ignored).
void UnmapMoFile(const TMoFileMap& map) noexcept;

}  // namespace tarvo::i18n
