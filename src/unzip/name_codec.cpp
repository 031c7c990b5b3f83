#include "unzip/name_codec.h"

#include <array>

#include "core/crc32.h"
#include "platform/code_page.h"
#include "unzip/byte_order.h"
#include "unzip/zip_format.h"

namespace tarvo::unzip {

namespace {

// Letter sets of the OEM code pages and of their matching ANSI code pages, for the byte
// values 80h-FFh: byte k covers 80h + 8k .. 80h + 8k + 7, least significant bit first.
struct TOemLetterSets {
  unsigned CodePage;
  std::array<std::uint8_t, 16> Oem;
  std::array<std::uint8_t, 16> Ansi;
};

constexpr std::array<std::uint8_t, 16> Hex(const char (&s)[33]) {
  std::array<std::uint8_t, 16> out{};
  auto nibble = [](char c) { return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'a' + 10); };
  for (int i = 0; i < 16; ++i) out[i] = static_cast<std::uint8_t>(nibble(s[2 * i]) << 4 | nibble(s[2 * i + 1]));
  return out;
}

constexpr TOemLetterSets kLetterSets[] = {
    {437, Hex("ffffff073f00000000000000ff6f0000"), Hex("005400d400002000ffff7fffffff7fff")},
    {720, Hex("ac1fe8efff3f000000000000ffff0000"), Hex("02f4019500042000ffff7fffffff109a")},
    {737, Hex("ffffffffffff000000000000ffff3100"), Hex("00000000040020d7fffffbffffffff7f")},
    {775, Hex("ffffbf2f3f20e061c080ff01ff7f0000"), Hex("0000000000850085ffff7fffffff7f7f")},
    {850, Hex("ffffff2f3f00e000c000ff41ff3f0000"), Hex("005400d400000000ffff7fffffff7fff")},
    {852, Hex("ffffffbfff3be061c000ff61ff7f0038"), Hex("00f400f4288408d6ffff7fffffff7f7f")},
    {855, Hex("ffffffffff3fe061c000ff61ff7ffe1f"), Hex("0bf401f42e851cf5ffffffffffffffff")},
    {857, Hex("ffffffefff00e000c000dc417f3e0000"), Hex("0014009400000000ffff7fffffff7fff")},
    {862, Hex("ffffff073f00000000000000ff6f0000"), Hex("000000000000200000007000ffffff07")},
    {866, Hex("ffffffffffff000000000000ffffff00"), Hex("0bf401f42e853cf5ffffffffffffffff")},
};

bool InSet(const std::array<std::uint8_t, 16>& set, std::uint8_t value) {
  unsigned index = value - 0x80u;
  return (set[index / 8] >> (index % 8)) & 1u;
}

}  // namespace

TVmNameBytesKind ClassifyNameBytes(std::string_view bytes) noexcept {
  bool topBit = false;
  int pending = 0;  // continuation bytes still expected
  bool complete = true;
  for (unsigned char c : bytes) {
    if (c & 0x80) topBit = true;
    if (pending > 0) {
      if (c < 0x80 || c > 0xBF) {
        complete = false;
        break;
      }
      --pending;
      continue;
    }
    if (c <= 0x7F) continue;
    if (c >= 0xC2 && c <= 0xDF) {
      pending = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      pending = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      pending = 3;
    } else {
      complete = false;  // a stray continuation byte or an invalid lead byte
      break;
    }
  }
  if (pending > 0) complete = false;
  if (!complete) return topBit ? TVmNameBytesKind::nbAnsi : TVmNameBytesKind::nbAscii;
  return topBit ? TVmNameBytesKind::nbUtf8 : TVmNameBytesKind::nbAscii;
}

bool LooksLikeOemName(std::string_view bytes, unsigned oemCodePage) noexcept {
  const TOemLetterSets* sets = nullptr;
  for (const auto& s : kLetterSets)
    if (s.CodePage == oemCodePage) sets = &s;
  if (!sets) return false;
  bool allOem = true, allAnsi = true;
  for (unsigned char c : bytes) {
    if (!(c & 0x80)) continue;
    if (allOem && !InSet(sets->Oem, c)) allOem = false;
    if (allAnsi && !InSet(sets->Ansi, c)) allAnsi = false;
    if (!allOem && !allAnsi) break;
  }
  return allOem && !allAnsi;
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t pos = 0;
  while (pos < bytes.size()) AppendUTF8(out, NextCodePoint(bytes, pos));
  return out;
}

std::string Utf16LEToUtf8(const std::uint8_t* units, std::size_t count) {
  std::string out;
  out.reserve(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    char32_t u = GetLE16(units + 2 * i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
      char32_t low = GetLE16(units + 2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUTF8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUTF8(out, (u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : u);
  }
  return out;
}

std::string DecodeZipName(const TVmZipDirectoryFileHeader& header) {
  const std::string& raw = header.FFileName;
  TVmNameBytesKind kind = ClassifyNameBytes(raw);
  // a. Declared or evident UTF-8.
  if ((header.FGeneralPurposeBitFlag & zipfmt::kFlagUtf8) || kind == TVmNameBytesKind::nbUtf8) return SanitizeUtf8(raw);

  const std::uint8_t* data;
  std::uint16_t size;
  // b. Info-ZIP Unicode path: version (1), CRC-32 of the raw name (4), UTF-8 name.
  if (header.FExtraField.Find(zipfmt::kUnicodePathExtraId, data, size) && size > 6 && data[0] == 1 &&
      GetLE32(data + 1) == core::ComputeCRC32(0, raw.data(), raw.size()))
    return SanitizeUtf8(std::string_view(reinterpret_cast<const char*>(data + 5), size - 5u));

  // c. Xceed UTF-16 name: signature (4), unit count N (4), N UTF-16LE units.
  if (header.FExtraField.Find(zipfmt::kXceedUnicodeExtraId, data, size) && size > 10) {
    std::uint64_t units = GetLE32(data + 4);
    if (size == 8 + 2 * units) return Utf16LEToUtf8(data + 8, static_cast<std::size_t>(units));
  }

  if (kind == TVmNameBytesKind::nbAscii) return raw;  // both code pages keep ASCII as it is
  std::uint8_t host = static_cast<std::uint8_t>(header.FVersionMadeBy >> 8);
  // d. ANSI, unless a DOS-made name or one that reads as OEM letters.
  if (platform::AnsiCodePage() == platform::OemCodePage() ||
      (host != zipfmt::kHostMsDos && !LooksLikeOemName(raw, platform::OemCodePage())))
    return platform::AnsiToUtf8(raw);
  // e. OEM.
  return platform::OemToUtf8(raw);
}

}  // namespace tarvo::unzip
