// The entries of an archive. TVmArchiveItem is what every archive kind has (name, sizes,
// date, attributes); TVmZipItem adds the few central directory fields that listing,
// testing and extraction use, with the 64-bit values of the ZIP64 extra field in place.
//
// A ZIP archive does not keep its items: it makes them from the central directory when
// asked (see TVmZipDirectory), so a record keeps one copy of its name and only the fields
// something reads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/stream.h"
#include "platform/file_time.h"
#include "unzip/archive_types.h"
#include "unzip/zip_headers.h"

namespace tarvo::unzip {

class TVmArchiveItem {
public:
  virtual ~TVmArchiveItem() = default;
  TVmArchiveItem() = default;
  TVmArchiveItem(const TVmArchiveItem&) = delete;
  TVmArchiveItem& operator=(const TVmArchiveItem&) = delete;

  virtual std::uint64_t CompressedSize() const { return FCompressedSize; }
  virtual std::uint32_t CRC32() const { return 0; }
  virtual std::uint32_t ExternalFileAttributes() const { return FExternalFileAttributes; }
  // The decoded name (UTF-8), with the separators the archive stored.
  virtual const std::string& FileName() const { return FFileName; }
  // External attribute 10h, or a name that ends in "/" or "\".
  virtual bool IsDirectory() const;
  virtual bool IsEncrypted() const { return FIsEncrypted; }
  virtual std::uint16_t LastModFileDate() const { return FLastModFileDate; }
  virtual std::uint16_t LastModFileTime() const { return FLastModFileTime; }
  // The DOS/Windows attribute bits (platform::faReadOnly ...).
  virtual std::uint32_t NativeFileAttributes() const { return FExternalFileAttributes & 0xFF; }
  virtual std::uint64_t UncompressedSize() const { return FUncompressedSize; }
  virtual platform::TDateTime LastModTimeAsDateTime() const;

  // The name with every "/" turned into "\", as the archive's lookups compare it.
  std::string DiskFileName() const;
  TVmArchiveAction Action() const noexcept { return FAction; }
  void SetAction(TVmArchiveAction action) noexcept { FAction = action; }
  bool Tagged() const noexcept { return FTagged; }
  void SetTagged(bool tagged) noexcept { FTagged = tagged; }

protected:
  std::uint64_t FCompressedSize = 0;
  std::uint64_t FUncompressedSize = 0;
  std::string FFileName;
  std::uint32_t FExternalFileAttributes = 0;
  TVmArchiveAction FAction = TVmArchiveAction::aaNone;
  std::uint16_t FLastModFileTime = 0;
  std::uint16_t FLastModFileDate = 0;
  bool FIsEncrypted = false;
  bool FTagged = false;
};

class TVmZipItem : public TVmArchiveItem {
public:
  // Reads one central directory entry at the stream's position: the header, then the
  // decoded name and the ZIP64 values. Raises EVmZipInvalid for a wrong signature and
  // the stream's read error when the entry is cut short or a ZIP64 field is too short
  // for the values it must hold. The second form reads the header into scratch, so that
  // a directory of many entries reuses one set of buffers for names and extra fields.
  void LoadFromStream(core::TStream& stream);
  void LoadFromStream(core::TStream& stream, TVmZipDirectoryFileHeader& scratch);
  // Takes a central header already read: decodes the name and puts the ZIP64 values in
  // place (the stream's read error for a ZIP64 field too short). Not tagged, aaNone.
  void Assign(const TVmZipDirectoryFileHeader& header);

  std::uint32_t CRC32() const override { return FCRC32; }
  std::uint32_t NativeFileAttributes() const override;

  std::uint16_t GeneralPurposeBitFlag() const noexcept { return FGeneralPurposeBitFlag; }
  std::uint16_t CompressionMethod() const noexcept { return FCompressionMethod; }
  std::uint16_t VersionMadeBy() const noexcept { return FVersionMadeBy; }
  std::uint16_t VersionNeededToExtract() const noexcept { return FVersionNeededToExtract; }
  std::uint8_t HostSystem() const noexcept { return static_cast<std::uint8_t>(FVersionMadeBy >> 8); }
  // The name's bytes as stored. Kept apart only when they differ from the decoded name
  // (a name in a code page, or one with bytes that are not UTF-8).
  const std::string& RawFileName() const noexcept { return FRawFileName ? *FRawFileName : FFileName; }
  // The Unix mode in the high half of the external attributes, when the entry was made
  // on Unix; -1 otherwise.
  long UnixMode() const noexcept;

  std::uint64_t FRelativeOffset = 0;
  // Where the entry's data must end: the next local header on its disk, or the central
  // directory. An entry whose local header another entry also claims gets
  // FSharesLocalHeader. Both are set by the directory that makes the item.
  std::uint64_t FDataLimit = ~std::uint64_t{0};
  std::uint32_t FDiskNumberStart = 0;
  bool FSharesLocalHeader = false;

private:
  std::unique_ptr<std::string> FRawFileName;  // null: the same bytes as FFileName
  std::uint32_t FCRC32 = 0;
  std::uint16_t FGeneralPurposeBitFlag = 0;
  std::uint16_t FCompressionMethod = 0;
  std::uint16_t FVersionMadeBy = 0;
  std::uint16_t FVersionNeededToExtract = 0;
};

}  // namespace tarvo::unzip
