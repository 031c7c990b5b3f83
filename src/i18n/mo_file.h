// TMoFile: one loaded catalog, searched in place. The catalog is memory-mapped (or, for
// callers that already hold the bytes, borrowed) and checked once at load: every table and
// every string must lie inside the catalog, so lookups never read outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::i18n {

class TMoFile {
public:
  // Maps fileName and takes the catalog that starts at offset and is size bytes long
  // (kWholeFile: up to the end). Throws EGettextIOError.
  static constexpr std::uint64_t kWholeFile = ~std::uint64_t{0};
  TMoFile(const std::string& fileName, std::uint64_t offset = 0, std::uint64_t size = kWholeFile);
  // A catalog in memory the caller keeps alive for the object's lifetime.
  TMoFile(const void* data, std::size_t size, const std::string& name);
  ~TMoFile();
  TMoFile(const TMoFile&) = delete;
  TMoFile& operator=(const TMoFile&) = delete;

  // The translation of a UTF-8 msgid; found tells whether the catalog holds it. The view
  // stays valid as long as this object.
  std::string_view gettext(std::string_view msgid, bool& found) const;

  std::uint32_t Count() const noexcept { return N; }
  // The i-th (0-based) msgid and translation, in catalog order.
  std::string_view MsgId(std::uint32_t index) const;
  std::string_view Translation(std::uint32_t index) const;
  bool Swapped() const noexcept { return doswap; }

  int Users = 0;  // managed by the file locator's cache

private:
  void Load(const std::string& name);
  std::uint32_t Read32(std::uint64_t offset) const noexcept;
  std::string_view StringAt(std::uint64_t table, std::uint32_t index) const noexcept;

  const unsigned char* FBase = nullptr;  // start of the catalog
  std::uint64_t FSize = 0;               // bytes of the catalog
  void* FMapping = nullptr;              // whole mapped file, when we mapped it
  std::size_t FMappingSize = 0;
  bool doswap = false;
  std::uint32_t N = 0;
  std::uint64_t FOriginals = 0;
  std::uint64_t FTranslations = 0;
  std::uint32_t startindex = 0;
  std::uint32_t startstep = 0;
};

}  // namespace tarvo::i18n
