// The entries of an archive. TVmArchiveItem is what every archive kind has (name, sizes,
// date, attributes); TVmZipItem adds the central directory header it was read from and
// the 64-bit values of the ZIP64 extra field.
#pragma once

#include <cstdint>
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
  const std::string& DiskFileName() const noexcept { return FDiskFileName; }
  TVmArchiveAction Action() const noexcept { return FAction; }
  void SetAction(TVmArchiveAction action) noexcept { FAction = action; }
  bool Tagged() const noexcept { return FTagged; }
  void SetTagged(bool tagged) noexcept { FTagged = tagged; }

  TVmArchiveItem* NextItem = nullptr;  // the chain of its hash bucket

protected:
  TVmArchiveAction FAction = TVmArchiveAction::aaNone;
  std::uint64_t FCompressedSize = 0;
  std::string FDiskFileName;
  std::uint32_t FExternalFileAttributes = 0;
  std::string FFileName;
  bool FIsEncrypted = false;
  std::uint16_t FLastModFileTime = 0;
  std::uint16_t FLastModFileDate = 0;
  bool FTagged = false;
  std::uint64_t FUncompressedSize = 0;
};

class TVmZipItem : public TVmArchiveItem {
public:
  // Reads one central directory entry at the stream's position: the header, then the
  // decoded name and the ZIP64 values. Raises EVmZipInvalid for a wrong signature and
  // the stream's read error when the entry is cut short or a ZIP64 field is too short
  // for the values it must hold.
  void LoadFromStream(core::TStream& stream);

  std::uint32_t CRC32() const override { return FItemInfo.FCRC32; }
  std::uint32_t NativeFileAttributes() const override;

  const TVmZipDirectoryFileHeader& ItemInfo() const noexcept { return FItemInfo; }
  std::uint16_t GeneralPurposeBitFlag() const noexcept { return FItemInfo.FGeneralPurposeBitFlag; }
  std::uint16_t CompressionMethod() const noexcept { return FItemInfo.FCompressionMethod; }
  std::uint16_t VersionMadeBy() const noexcept { return FItemInfo.FVersionMadeBy; }
  std::uint16_t VersionNeededToExtract() const noexcept { return FItemInfo.FVersionNeededToExtract; }
  std::uint8_t HostSystem() const noexcept { return static_cast<std::uint8_t>(FItemInfo.FVersionMadeBy >> 8); }
  const std::string& RawFileName() const noexcept { return FItemInfo.FFileName; }
  // The Unix mode in the high half of the external attributes, when the entry was made
  // on Unix; -1 otherwise.
  long UnixMode() const noexcept;

  std::uint32_t FDiskNumberStart = 0;
  std::uint64_t FRelativeOffset = 0;
  TVmExtraField FLFHExtraField;
  // Where the entry's data must end: the next local header on its disk, or the central
  // directory. An entry whose local header another entry also claims gets
  // FSharesLocalHeader. Both are set when the directory is read (see TVmZipArchive).
  std::uint64_t FDataLimit = ~std::uint64_t{0};
  bool FSharesLocalHeader = false;

private:
  TVmZipDirectoryFileHeader FItemInfo;
};

}  // namespace tarvo::unzip
