#include "i18n/mo_file.h"

#include <cstring>

#include "core/format.h"
#include "core/scope_guard.h"
#include "i18n/gettext_errors.h"
#include "i18n/i18n_strings.h"
#include "i18n/mo_file_map.h"
#include "i18n/mo_format.h"

namespace tarvo::i18n {

using core::Format;
using core::LoadResString;

namespace {

[[noreturn]] void NotValid(const std::string& name) {
  throw EGettextIOError(Format(LoadResString(SNotValidMoFile), {name}));
}

}  // namespace

TMoFile::TMoFile(const std::string& fileName, std::uint64_t offset, std::uint64_t size) {
  const TMoFileMap map = MapMoFile(fileName);
  core::TScopeGuard unmap([&map]() noexcept { UnmapMoFile(map); });
  const std::uint64_t fileSize = map.Size;
  if (offset > fileSize) NotValid(fileName);
  if (size == kWholeFile || size > fileSize - offset) {
    // An embedded catalog that claims more than the file holds is damaged.
    if (size != kWholeFile) NotValid(fileName);
    size = fileSize - offset;
  }
  if (size < mo::kHeaderSize) NotValid(fileName);
  FBase = static_cast<const unsigned char*>(map.View) + offset;
  FSize = size;
  Load(fileName);
  FMapping = map.View;
  FMappingSize = static_cast<std::size_t>(map.Size);
  unmap.Dismiss();
}

TMoFile::TMoFile(const void* data, std::size_t size, const std::string& name)
    : FBase(static_cast<const unsigned char*>(data)), FSize(size) {
  if (!data || size < mo::kHeaderSize) NotValid(name);
  Load(name);
}

TMoFile::~TMoFile() {
  if (FMapping) UnmapMoFile(TMoFileMap{FMapping, FMappingSize});
}

std::uint32_t TMoFile::Read32(std::uint64_t offset) const noexcept {
  std::uint32_t v;
  std::memcpy(&v, FBase + offset, sizeof v);  // tables need not be aligned in embedded catalogs
  return doswap ? __builtin_bswap32(v) : v;
}

void TMoFile::Load(const std::string& name) {
  std::uint32_t magic;
  std::memcpy(&magic, FBase + mo::kOffMagic, sizeof magic);
  if (magic == mo::kMagic) doswap = false;
  else if (magic == mo::kMagicSwapped) doswap = true;
  else NotValid(name);
  N = Read32(mo::kOffCount);
  FOriginals = Read32(mo::kOffOriginals);
  FTranslations = Read32(mo::kOffTranslations);
  // Both tables, and every string they point at, must lie inside the catalog; checking
  // once here lets the lookups read without further tests. All sums fit in 64 bits.
  const std::uint64_t tableBytes = std::uint64_t{N} * mo::kEntrySize;
  if (FOriginals + tableBytes > FSize || FTranslations + tableBytes > FSize) NotValid(name);
  for (std::uint64_t table : {FOriginals, FTranslations}) {
    for (std::uint32_t i = 0; i < N; ++i) {
      const std::uint64_t entry = table + std::uint64_t{i} * mo::kEntrySize;
      const std::uint64_t length = Read32(entry);
      const std::uint64_t offset = Read32(entry + 4);
      if (offset + length > FSize) NotValid(name);
    }
  }
  startindex = 0;
  if (N > 0) {
    startindex = 1;
    while (startindex <= N / 2) startindex *= 2;
  }
  startstep = startindex / 2;
}

std::string_view TMoFile::StringAt(std::uint64_t table, std::uint32_t index) const noexcept {
  const std::uint64_t entry = table + std::uint64_t{index} * mo::kEntrySize;
  const std::uint32_t length = Read32(entry);
  const std::uint32_t offset = Read32(entry + 4);
  return {reinterpret_cast<const char*>(FBase + offset), length};
}

std::string_view TMoFile::MsgId(std::uint32_t index) const {
  return index < N ? StringAt(FOriginals, index) : std::string_view();
}

std::string_view TMoFile::Translation(std::uint32_t index) const {
  return index < N ? StringAt(FTranslations, index) : std::string_view();
}

std::string_view TMoFile::gettext(std::string_view msgid, bool& found) const {
  found = false;
  if (N == 0) return msgid;
  // Binary search over 1-based indexes, starting at the largest power of two not above N.
  std::uint32_t i = startindex;
  std::uint32_t step = startstep;
  for (;;) {
    const std::string_view key = StringAt(FOriginals, i - 1);
    const std::size_t common = msgid.size() < key.size() ? msgid.size() : key.size();
    int c = common ? std::memcmp(msgid.data(), key.data(), common) : 0;  // memcmp compares unsigned bytes
    if (c == 0) c = msgid.size() < key.size() ? -1 : (msgid.size() > key.size() ? 1 : 0);
    if (c == 0) {
      found = true;
      return StringAt(FTranslations, i - 1);
    }
    if (step == 0) return msgid;
    if (c < 0) i = (i < step + 1) ? 1 : i - step;
    else i = (i + step > N) ? N : i + step;
    step /= 2;
  }
}

}  // namespace tarvo::i18n
