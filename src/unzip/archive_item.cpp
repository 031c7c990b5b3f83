#include "unzip/archive_item.h"

#include <algorithm>

#include "core/exception.h"
#include "platform/file_attributes.h"
#include "unzip/byte_order.h"
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
  FFileName = DecodeZipName(header);
  if (FFileName.capacity() > FFileName.size()) FFileName.shrink_to_fit();
  if (FFileName == header.FFileName) FRawFileName.reset();
  else FRawFileName = std::make_unique<std::string>(header.FFileName);

  FCRC32 = header.FCRC32;
  FGeneralPurposeBitFlag = header.FGeneralPurposeBitFlag;
  FCompressionMethod = header.FCompressionMethod;
  FVersionMadeBy = header.FVersionMadeBy;
  FVersionNeededToExtract = header.FVersionNeededToExtract;
  FUncompressedSize = header.FUncompressedSize;
  FCompressedSize = header.FCompressedSize;
  FRelativeOffset = header.FRelativeOffset;
  FDiskNumberStart = header.FDiskNumberStart;
  const std::uint8_t* data;
  std::uint16_t size;
  if (header.FExtraField.Find(zipfmt::kZip64ExtraId, data, size)) {
    // Only the values whose central field is at its maximum are present, in this order.
    std::size_t pos = 0;
    auto take = [&](std::size_t width) -> std::uint64_t {
      if (pos + width > size) throw core::EReadError();
      std::uint64_t v = width == 8 ? GetLE64(data + pos) : GetLE32(data + pos);
      pos += width;
      return v;
    };
    if (header.FUncompressedSize == zipfmt::kMax32) FUncompressedSize = take(8);
    if (header.FCompressedSize == zipfmt::kMax32) FCompressedSize = take(8);
    if (header.FRelativeOffset == zipfmt::kMax32) FRelativeOffset = take(8);
    if (header.FDiskNumberStart == zipfmt::kMax16) FDiskNumberStart = static_cast<std::uint32_t>(take(4));
  }

  FLastModFileTime = header.FLastModFileTime;
  FLastModFileDate = header.FLastModFileDate;
  FExternalFileAttributes = header.FExternalFileAttributes;
  FIsEncrypted = (header.FGeneralPurposeBitFlag & zipfmt::kFlagEncrypted) != 0;
  FAction = TVmArchiveAction::aaNone;
  FTagged = false;
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
