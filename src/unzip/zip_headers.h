// The ZIP records this reader loads: the header common to local and central entries, the
// local file header, the central directory file header, and the directory footer (end of
// central directory record, widened by the ZIP64 end record where present).
//
// Loading reads the fields in their on-disk order. Fixed fields cut short by the end of
// the file are left as zeros and caught by the signature check, which comes before the
// variable parts are read: a record with a wrong signature is "not a PKZip file", never a
// read error. The variable parts (name, extra field, comment) are read in one piece each
// and raise the stream's read error when the file ends inside them. Every length is a 16-bit field, so no read is larger than
// 64 KiB whatever the file claims.
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"
#include "unzip/extra_field.h"

namespace tarvo::unzip {

class TVmZipFileHeader {
public:
  explicit TVmZipFileHeader(std::uint32_t validSignature) : FValidSignature(validSignature) {}
  virtual ~TVmZipFileHeader() = default;

  bool IsValid() const noexcept { return FSignature == FValidSignature; }

  std::uint32_t FValidSignature;
  std::uint32_t FSignature = 0;
  std::uint16_t FVersionNeededToExtract = 0;
  std::uint16_t FGeneralPurposeBitFlag = 0;
  std::uint16_t FCompressionMethod = 0;
  std::uint16_t FLastModFileTime = 0;
  std::uint16_t FLastModFileDate = 0;
  std::uint32_t FCRC32 = 0;
  std::uint32_t FCompressedSize = 0;
  std::uint32_t FUncompressedSize = 0;
  std::string FFileName;  // raw bytes
  TVmExtraField FExtraField;
};

class TVmZipLocalFileHeader : public TVmZipFileHeader {
public:
  TVmZipLocalFileHeader();
  // Reads the 30 fixed bytes (EVmZipInvalid for a wrong signature), the name and the
  // extra field.
  void LoadFromStream(core::TStream& stream);
};

// A central entry's sizes, local header offset and disk, 64 bits wide.
struct TVmZipEntryPlace {
  std::uint64_t UncompressedSize = 0;
  std::uint64_t CompressedSize = 0;
  std::uint64_t RelativeOffset = 0;
  std::uint32_t DiskNumberStart = 0;
};

class TVmZipDirectoryFileHeader : public TVmZipFileHeader {
public:
  TVmZipDirectoryFileHeader();
  // Reads the 46 fixed bytes (EVmZipInvalid for a wrong signature), the name, the extra
  // field and the comment.
  void LoadFromStream(core::TStream& stream);
  // The sizes, offset and disk with the values of the ZIP64 extra field in place of those
  // at their 16/32-bit maximum. Raises the stream's read error when that field is too
  // short for the values it must hold.
  TVmZipEntryPlace Place() const;

  std::uint16_t FVersionMadeBy = 0;
  std::uint16_t FDiskNumberStart = 0;
  std::uint16_t FInternalFileAttributes = 0;
  std::uint32_t FExternalFileAttributes = 0;
  std::uint32_t FRelativeOffset = 0;
  std::string FFileComment;  // raw bytes
};

class TVmZipDirectoryFileFooter {
public:
  // The end of central directory record at the stream's position (EVmZipInvalid on a
  // wrong signature), with its comment.
  void LoadFromStream(core::TStream& stream);
  // True when a field is at its 16/32-bit maximum, so the ZIP64 records hold the value.
  bool IsZip64() const noexcept;
  // Replaces, from the ZIP64 end record at the stream's position, each field that was at
  // its maximum (EVmZipInvalid on a wrong signature).
  void LoadZip64FromStream(core::TStream& stream);

  std::uint32_t FDiskNumber = 0;
  std::uint32_t FStartDiskNumber = 0;
  std::uint64_t FEntriesOnDisk = 0;
  std::uint64_t FTotalEntries = 0;
  std::uint64_t FDirectorySize = 0;
  std::uint64_t FDirectoryOffset = 0;
  std::string FZipfileComment;  // raw bytes
};

// Reads up to count bytes, as many as the stream has; the rest of the buffer is untouched.
std::size_t ReadUpTo(core::TStream& stream, void* buffer, std::size_t count);

}  // namespace tarvo::unzip
