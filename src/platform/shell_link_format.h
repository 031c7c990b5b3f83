// Constants of the Windows shell-link (.lnk) binary format, as the published format
// documentation ([MS-SHLLINK]) names them. All integers are little-endian.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::platform::lnk {

// ShellLinkHeader: HeaderSize (4), LinkCLSID (16), LinkFlags (4), FileAttributes (4),
// CreationTime (8), AccessTime (8), WriteTime (8), FileSize (4), IconIndex (4),
// ShowCommand (4), HotKey (2), Reserved1 (2), Reserved2 (4), Reserved3 (4).
inline constexpr std::uint32_t kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} in its stored byte order.
inline constexpr std::uint8_t kLinkCLSID[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// LinkFlags
inline constexpr std::uint32_t HasLinkTargetIDList = 0x00000001;
inline constexpr std::uint32_t HasLinkInfo = 0x00000002;
inline constexpr std::uint32_t HasName = 0x00000004;
inline constexpr std::uint32_t HasRelativePath = 0x00000008;
inline constexpr std::uint32_t HasWorkingDir = 0x00000010;
inline constexpr std::uint32_t HasArguments = 0x00000020;
inline constexpr std::uint32_t HasIconLocation = 0x00000040;
inline constexpr std::uint32_t IsUnicode = 0x00000080;

// FileAttributes
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x00000020;

// ShowCommand
inline constexpr std::uint32_t SW_SHOWNORMAL = 1;
inline constexpr std::uint32_t SW_SHOWMAXIMIZED = 3;
inline constexpr std::uint32_t SW_MINIMIZE = 6;
inline constexpr std::uint32_t SW_SHOWMINNOACTIVE = 7;

// HotKey: low byte the virtual key, high byte these modifiers.
inline constexpr std::uint8_t HOTKEYF_SHIFT = 0x01;
inline constexpr std::uint8_t HOTKEYF_CONTROL = 0x02;
inline constexpr std::uint8_t HOTKEYF_ALT = 0x04;

// LinkInfo: LinkInfoSize (4), LinkInfoHeaderSize (4), LinkInfoFlags (4), VolumeIDOffset (4),
// LocalBasePathOffset (4), CommonNetworkRelativeLinkOffset (4), CommonPathSuffixOffset (4),
// and with a header of 0x24 bytes or more LocalBasePathOffsetUnicode (4) and
// CommonPathSuffixOffsetUnicode (4).
inline constexpr std::uint32_t kLinkInfoHeaderSizeAnsi = 0x1C;
inline constexpr std::uint32_t kLinkInfoHeaderSizeUnicode = 0x24;
inline constexpr std::uint32_t VolumeIDAndLocalBasePath = 0x00000001;

// VolumeID: VolumeIDSize (4), DriveType (4), DriveSerialNumber (4), VolumeLabelOffset (4),
// then the label; a VolumeLabelOffset of 0x14 means VolumeLabelOffsetUnicode (4) follows.
inline constexpr std::uint32_t kVolumeIDHeaderSize = 0x10;
inline constexpr std::uint32_t DRIVE_FIXED = 3;

// StringData: CountCharacters (2) followed by that many UTF-16 code units, no terminator.
inline constexpr std::uint32_t kMaxStringDataChars = 0xFFFF;

// ExtraData ends with a TerminalBlock: a BlockSize below 4.
inline constexpr std::uint32_t kTerminalBlock = 0;

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
inline constexpr std::uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

// Thrown by the writer for a text longer than StringData holds.
struct ETooLong {};

// What the header records of the target: its times as FILETIME values and its size.
struct TLinkTarget {
  bool Exists = false;  // a regular file
  std::uint64_t CreationTime = 0, AccessTime = 0, WriteTime = 0;
  std::uint64_t Size = 0;
};
// From the file system of this system.
TLinkTarget LinkTargetOf(const std::string& path);

}  // namespace tarvo::platform::lnk
