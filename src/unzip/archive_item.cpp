#include "unzip/archive_item.h"

#include <algorithm>

#include "platform/file_attributes.h"
#include "unzip/name_codec.h"
#include "unzip/zip_format.h"

namespace tarvo::unzip {

bool TVmArchiveItem::IsDirectory() const {
  if (ExternalFileAttributes() & platform::faDirectory) return true;
  const std::string& name = FileName();
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

platform::TDateTime TVmArchiveItem::LastModTimeAsDateTime() const {
  return platform::DosDateTimeToDateTime(LastModFileDate(), LastModFileTime());
}

std::string TVmArchiveItem::DiskFileName() const {
  std::string name = FileName();
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

void TVmZipItem::LoadFromStream(core::TStream& stream) {
  TVmZipDirectoryFileHeader header;
  LoadFromStream(stream, header);
}

void TVmZipItem::LoadFromStream(core::TStream& stream, TVmZipDirectoryFileHeader& header) {
  header.LoadFromStream(stream);
  Assign(header);
}

void TVmZipItem::Assign(const TVmZipDirectoryFileHeader& header) {
  TVmZipEntryPlace place = header.Place();
  FFileName = DecodeZipName(header);
  if (FFileName.capacity() > FFileName.size()) FFileName.shrink_to_fit();
  if (FFileName == header.FFileName) FRawFileName.reset();
  else FRawFileName = std::make_unique<std::string>(header.FFileName);

  FCRC32 = header.FCRC32;
  FGeneralPurposeBitFlag = header.FGeneralPurposeBitFlag;
  FCompressionMethod = header.FCompressionMethod;
  FVersionMadeBy = header.FVersionMadeBy;
  FVersionNeededToExtract = header.FVersionNeededToExtract;
  FUncompressedSize = place.UncompressedSize;
  FCompressedSize = place.CompressedSize;
  FRelativeOffset = place.RelativeOffset;
  FDiskNumberStart = place.DiskNumberStart;
  FLastModFileTime = header.FLastModFileTime;
  FLastModFileDate = header.FLastModFileDate;
  FExternalFileAttributes = header.FExternalFileAttributes;
  FIsEncrypted = (header.FGeneralPurposeBitFlag & zipfmt::kFlagEncrypted) != 0;
  FAction = TVmArchiveAction::aaNone;
  FTagged = false;
  FDataLimit = ~std::uint64_t{0};
  FSharesLocalHeader = false;
}

std::uint32_t TVmZipItem::NativeFileAttributes() const {
  std::uint32_t external = FExternalFileAttributes;
  if (HostSystem() != zipfmt::kHostUnix && external < 0x20000) return external & 0xFF;
  std::uint32_t mode = external >> 16;
  std::uint32_t result = 0;
  if (!(mode & 0x80)) result |= platform::faReadOnly;
  std::uint32_t type = mode & 0xF000;
  if (type == 0x4000) result |= platform::faDirectory;
  if (type == 0x1000 || type == 0x2000 || type == 0x6000 || type == 0xA000 || type == 0xC000)
    result |= platform::faSysFile;
  return result;
}

long TVmZipItem::UnixMode() const noexcept {
  if (HostSystem() != zipfmt::kHostUnix) return -1;
  return static_cast<long>(FExternalFileAttributes >> 16);
}

}  // namespace tarvo::unzip
