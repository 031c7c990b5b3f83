// Constants of the ZIP format as this reader uses them: record signatures, fixed record
// sizes, the sentinel values that send a reader to the ZIP64 records, and the extra-field
// header IDs it interprets. All multi-byte fields of the format are little-endian.
#pragma once

#include <cstdint>

namespace tarvo::unzip::zipfmt {

// Record signatures ("PK" followed by two type bytes).
inline constexpr std::uint32_t kLocalFileHeaderSignature = 0x04034B50;  // local file header
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;   // data descriptor / split-set marker
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;    // central directory file header
inline constexpr std::uint32_t kZip64EndSignature = 0x06064B50;         // ZIP64 end of central directory record
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;     // ZIP64 end of central directory locator
inline constexpr std::uint32_t kEndOfDirectorySignature = 0x06054B50;   // end of central directory record

// Fixed part of each record, in bytes.
inline constexpr std::size_t kLocalFileHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndOfDirectorySize = 22;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::size_t kZip64EndReadSize = 56;  // any extensible data after this is ignored

// A 16- or 32-bit field at its maximum means "the real value is in the ZIP64 records".
inline constexpr std::uint16_t kMax16 = 0xFFFF;
inline constexpr std::uint32_t kMax32 = 0xFFFFFFFF;

// Extra-field header IDs.
inline constexpr std::uint16_t kZip64ExtraId = 0x0001;        // ZIP64 extended information
inline constexpr std::uint16_t kUnicodePathExtraId = 0x7075;  // Info-ZIP Unicode path
inline constexpr std::uint16_t kXceedUnicodeExtraId = 0x554E; // Xceed UTF-16 name
inline constexpr std::uint32_t kXceedUnicodeSignature = 0x5843554E;

// General purpose flag bits.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;

// Host systems (high byte of "version made by").
inline constexpr std::uint8_t kHostMsDos = 0;
inline constexpr std::uint8_t kHostUnix = 3;

// The lowest "version needed to extract" (low byte) this reader refuses.
inline constexpr std::uint8_t kFirstUnsupportedVersion = 64;

}  // namespace tarvo::unzip::zipfmt
