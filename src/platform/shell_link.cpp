#include "platform/shell_link.h"


#include <cerrno>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "core/published.h"
#include "core/utf8.h"
#include "platform/code_page.h"
#include "platform/shell_link_format.h"

namespace tarvo::platform {

const core::TClassInfo& TShellLink::StaticClassInfo() noexcept {
  static const core::TPropInfo props[] = {
      core::TextProperty<&TShellLink::Arguments, &TShellLink::SetArguments>("Arguments"),
      core::TextProperty<&TShellLink::Description, &TShellLink::SetDescription>("Description"),
      core::TextProperty<&TShellLink::IconFile, &TShellLink::SetIconFile>("IconFile"),
      core::TextProperty<&TShellLink::LinkFile, &TShellLink::SetLinkFile>("LinkFile"),
      core::TextProperty<&TShellLink::ProgramFile, &TShellLink::SetProgramFile>("ProgramFile"),
      core::TextProperty<&TShellLink::WorkingDirectory, &TShellLink::SetWorkingDirectory>("WorkingDirectory"),
  };
  static const core::TClassInfo info{"TShellLink", &::tarvo::core::ClassInfoOf<core::TComponent>(), props};
  return info;
}

namespace {

// A text that does not fit the format's 16-bit character count.
using lnk::ETooLong;

std::u16string ToUTF16(const std::string& text) {
  std::u16string out;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = core::NextCodePoint(text, pos);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string FromUTF16(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = core::kReplacementCharacter;
    }
    core::AppendUTF8(out, c);
  }
  return out;
}

// The 8-bit form of a path for readers that only know the ANSI fields: code page 1252
// where it agrees with Latin-1, '?' for the rest. The UTF-16 fields carry the exact text.
std::string ToAnsi(const std::string& text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = core::NextCodePoint(text, pos);
    out += cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF) ? static_cast<char>(cp) : '?';
  }
  return out;
}

class TWriter {
public:
  std::vector<std::uint8_t> Bytes;
  void U8(std::uint8_t v) { Bytes.push_back(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Put(const void* p, std::size_t n) {
    auto* b = static_cast<const std::uint8_t*>(p);
    Bytes.insert(Bytes.end(), b, b + n);
  }
  void CString(const std::string& s) {
    Put(s.data(), s.size());
    U8(0);
  }
  void WString(const std::u16string& s, bool terminate) {
    for (char16_t c : s) U16(c);
    if (terminate) U16(0);
  }
  // StringData: a character count and the UTF-16 units.
  void CountedString(const std::string& text) {
    std::u16string w = ToUTF16(text);
    if (w.size() > lnk::kMaxStringDataChars) throw ETooLong{};
    U16(static_cast<std::uint16_t>(w.size()));
    WString(w, false);
  }
  void Patch32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) Bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  }
};

class TReader {
public:
  TReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  bool Has(std::size_t at, std::size_t n) const { return at <= FSize && n <= FSize - at; }
  std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(FData[at] | FData[at + 1] << 8); }
  std::uint32_t U32(std::size_t at) const { return U16(at) | static_cast<std::uint32_t>(U16(at + 2)) << 16; }
  const std::uint8_t* At(std::size_t at) const { return FData + at; }
  // A NUL-terminated 8-bit string inside [at, limit); nothing when unterminated.
  std::optional<std::string> CString(std::size_t at, std::size_t limit) const {
    for (std::size_t i = at; i < limit; ++i)
      if (FData[i] == 0) return std::string(reinterpret_cast<const char*>(FData + at), i - at);
    return std::nullopt;
  }
  std::optional<std::u16string> WString(std::size_t at, std::size_t limit) const {
    std::u16string out;
    for (std::size_t i = at; i + 1 < limit; i += 2) {
      char16_t c = U16(i);
      if (c == 0) return out;
      out += c;
    }
    return std::nullopt;
  }

private:
  const std::uint8_t* FData;
  std::size_t FSize;
};

std::uint32_t ShowCommandOf(TShellLinkWindowState state) {
  switch (state) {
    case TShellLinkWindowState::wsMinimized: return lnk::SW_SHOWMINNOACTIVE;
    case TShellLinkWindowState::wsMaximized: return lnk::SW_SHOWMAXIMIZED;
    default: return lnk::SW_SHOWNORMAL;
  }
}

std::uint16_t ShellHotKey(TShortCut shortcut) {
  std::uint8_t mods = 0;
  if (shortcut & scShift) mods |= lnk::HOTKEYF_SHIFT;
  if (shortcut & scCtrl) mods |= lnk::HOTKEYF_CONTROL;
  if (shortcut & scAlt) mods |= lnk::HOTKEYF_ALT;
  return static_cast<std::uint16_t>((shortcut & 0xFF) | mods << 8);
}

TShortCut ShortCutOf(std::uint16_t hotKey) {
  std::uint8_t mods = static_cast<std::uint8_t>(hotKey >> 8);
  TShortCut s = hotKey & 0xFF;
  if (mods & lnk::HOTKEYF_SHIFT) s |= scShift;
  if (mods & lnk::HOTKEYF_CONTROL) s |= scCtrl;
  if (mods & lnk::HOTKEYF_ALT) s |= scAlt;
  return s;
}

// LinkInfo with a VolumeID (a fixed drive without label) and the target's local path in
// both its 8-bit and its UTF-16 form; the common path suffix is empty.
void WriteLinkInfo(TWriter& w, const std::string& path) {
  std::size_t start = w.Bytes.size();
  const std::uint32_t headerSize = lnk::kLinkInfoHeaderSizeUnicode;
  const std::uint32_t volumeSize = lnk::kVolumeIDHeaderSize + 1;  // + the empty label
  const std::string ansi = ToAnsi(path);
  const std::uint32_t volumeOffset = headerSize;
  const std::uint32_t baseOffset = volumeOffset + volumeSize;
  const std::uint32_t suffixOffset = baseOffset + static_cast<std::uint32_t>(ansi.size()) + 1;
  const std::uint32_t baseUnicodeOffset = suffixOffset + 1;
  const std::u16string wide = ToUTF16(path);
  const std::uint32_t suffixUnicodeOffset = baseUnicodeOffset + static_cast<std::uint32_t>(wide.size() + 1) * 2;

  w.U32(0);  // LinkInfoSize, patched below
  w.U32(headerSize);
  w.U32(lnk::VolumeIDAndLocalBasePath);
  w.U32(volumeOffset);
  w.U32(baseOffset);
  w.U32(0);  // CommonNetworkRelativeLinkOffset
  w.U32(suffixOffset);
  w.U32(baseUnicodeOffset);
  w.U32(suffixUnicodeOffset);
  // VolumeID
  w.U32(volumeSize);
  w.U32(lnk::DRIVE_FIXED);
  w.U32(0);                          // DriveSerialNumber
  w.U32(lnk::kVolumeIDHeaderSize);   // VolumeLabelOffset
  w.U8(0);                           // empty label
  w.CString(ansi);                   // LocalBasePath
  w.U8(0);                           // CommonPathSuffix
  w.WString(wide, true);             // LocalBasePathUnicode
  w.U16(0);                          // CommonPathSuffixUnicode
  w.Patch32(start, static_cast<std::uint32_t>(w.Bytes.size() - start));
}

}  // namespace

std::vector<std::uint8_t> TShellLink::Serialize() const {
  const lnk::TLinkTarget target = lnk::LinkTargetOf(FProgramFile);
  const bool haveTarget = target.Exists;

  std::uint32_t flags = lnk::HasLinkInfo | lnk::IsUnicode;
  if (!FDescription.empty()) flags |= lnk::HasName;
  if (!FWorkingDirectory.empty()) flags |= lnk::HasWorkingDir;
  if (!FArguments.empty()) flags |= lnk::HasArguments;
  if (!FIconFile.empty()) flags |= lnk::HasIconLocation;

  TWriter w;
  w.U32(lnk::kHeaderSize);
  w.Put(lnk::kLinkCLSID, sizeof lnk::kLinkCLSID);
  w.U32(flags);
  w.U32(lnk::FILE_ATTRIBUTE_ARCHIVE);
  w.U64(haveTarget ? target.CreationTime : 0);
  w.U64(haveTarget ? target.AccessTime : 0);
  w.U64(haveTarget ? target.WriteTime : 0);
  w.U32(haveTarget ? static_cast<std::uint32_t>(target.Size) : 0);  // low 32 bits, as the format keeps
  w.U32(FIconFile.empty() ? 0 : FIconIndex);
  w.U32(ShowCommandOf(FWindowState));
  w.U16(ShellHotKey(FHotKey));
  w.U16(0);
  w.U32(0);
  w.U32(0);

  WriteLinkInfo(w, FProgramFile);

  if (flags & lnk::HasName) w.CountedString(FDescription);
  if (flags & lnk::HasWorkingDir) w.CountedString(FWorkingDirectory);
  if (flags & lnk::HasArguments) w.CountedString(FArguments);
  if (flags & lnk::HasIconLocation) w.CountedString(FIconFile);
  w.U32(lnk::kTerminalBlock);
  return std::move(w.Bytes);
}

bool TShellLink::Parse(const std::uint8_t* data, std::size_t size) {
  TReader r(data, size);
  if (!r.Has(0, lnk::kHeaderSize) || r.U32(0) != lnk::kHeaderSize) return false;
  for (std::size_t i = 0; i < sizeof lnk::kLinkCLSID; ++i)
    if (data[4 + i] != lnk::kLinkCLSID[i]) return false;
  const std::uint32_t flags = r.U32(0x14);
  const std::uint32_t iconIndex = r.U32(0x38);
  const std::uint32_t showCommand = r.U32(0x3C);
  const std::uint16_t hotKey = r.U16(0x40);
  std::size_t pos = lnk::kHeaderSize;

  if (flags & lnk::HasLinkTargetIDList) {
    if (!r.Has(pos, 2)) return false;
    std::size_t idListSize = r.U16(pos);
    if (!r.Has(pos + 2, idListSize)) return false;
    pos += 2 + idListSize;
  }

  std::string target;
  if (flags & lnk::HasLinkInfo) {
    if (!r.Has(pos, 8)) return false;
    const std::size_t infoSize = r.U32(pos);
    const std::size_t headerSize = r.U32(pos + 4);
    if (infoSize < lnk::kLinkInfoHeaderSizeAnsi || headerSize < lnk::kLinkInfoHeaderSizeAnsi ||
        headerSize > infoSize || !r.Has(pos, infoSize))
      return false;
    const std::size_t end = pos + infoSize;
    if (r.U32(pos + 8) & lnk::VolumeIDAndLocalBasePath) {
      // An offset of 0 (or one the header is too short to have) means the field is absent;
      // one that points outside the link info makes the file malformed.
      bool outside = false;
      auto field = [&](std::size_t at) -> std::optional<std::size_t> {
        if (at + 4 > headerSize) return std::nullopt;
        std::size_t offset = r.U32(pos + at);
        if (offset == 0) return std::nullopt;
        if (offset < headerSize || offset >= infoSize) outside = true;
        return pos + offset;
      };
      std::optional<std::size_t> baseUnicode = field(0x1C), suffixUnicode = field(0x20);
      std::optional<std::size_t> base = field(0x10), suffix = field(0x18);
      if (outside) return false;
      if (headerSize >= lnk::kLinkInfoHeaderSizeUnicode && baseUnicode) {
        std::optional<std::u16string> b = r.WString(*baseUnicode, end);
        if (!b) return false;
        std::optional<std::u16string> s = suffixUnicode ? r.WString(*suffixUnicode, end) : std::u16string();
        if (!s) return false;
        target = FromUTF16(*b + *s);
      } else if (base) {
        std::optional<std::string> b = r.CString(*base, end);
        if (!b) return false;
        std::optional<std::string> s = suffix ? r.CString(*suffix, end) : std::string();
        if (!s) return false;
        target = AnsiToUtf8(*b + *s);
      } else {
        return false;
      }
    }
    pos = end;
  }

  const bool unicode = (flags & lnk::IsUnicode) != 0;
  auto countedString = [&](std::string& out) {
    if (!r.Has(pos, 2)) return false;
    std::size_t count = r.U16(pos);
    std::size_t bytes = unicode ? count * 2 : count;
    if (!r.Has(pos + 2, bytes)) return false;
    const std::uint8_t* p = r.At(pos + 2);
    if (unicode) {
      std::u16string w(count, u'\0');
      for (std::size_t i = 0; i < count; ++i) w[i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
      out = FromUTF16(w);
    } else {
      out = AnsiToUtf8(std::string_view(reinterpret_cast<const char*>(p), count));
    }
    // The count excludes a terminator, but some writers (Wine's shell) count and store one.
    while (!out.empty() && out.back() == '\0') out.pop_back();
    pos += 2 + bytes;
    return true;
  };
  std::string description, relativePath, workingDir, arguments, iconFile;
  if ((flags & lnk::HasName) && !countedString(description)) return false;
  if ((flags & lnk::HasRelativePath) && !countedString(relativePath)) return false;
  if ((flags & lnk::HasWorkingDir) && !countedString(workingDir)) return false;
  if ((flags & lnk::HasArguments) && !countedString(arguments)) return false;
  if ((flags & lnk::HasIconLocation) && !countedString(iconFile)) return false;

  FArguments = arguments;
  FDescription = description;
  FHotKey = ShortCutOf(hotKey);
  FIconFile = iconFile;
  FIconIndex = iconIndex;
  FProgramFile = target.empty() ? relativePath : target;
  if (showCommand == lnk::SW_SHOWNORMAL) FWindowState = TShellLinkWindowState::wsNormal;
  if (showCommand == lnk::SW_SHOWMAXIMIZED) FWindowState = TShellLinkWindowState::wsMaximized;
  if (showCommand == lnk::SW_MINIMIZE || showCommand == lnk::SW_SHOWMINNOACTIVE)
    FWindowState = TShellLinkWindowState::wsMinimized;
  FWorkingDirectory = workingDir;
  return true;
}

}  // namespace tarvo::platform
