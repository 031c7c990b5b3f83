#include "unzip/entry_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/resource_string.h"
#include "platform/file_attributes.h"
#include "platform/file_time.h"
#include "unzip/byte_order.h"
#include "unzip/decrypt_stream.h"
#include "unzip/extract_path.h"
#include "unzip/inflate/inflate.h"
#include "unzip/methods/further_methods.h"
#include "unzip/output_stream.h"
#include "unzip/subset_stream.h"
#include "unzip/vm_exception.h"
#include "unzip/vm_strings.h"
#include "unzip/zip_format.h"

namespace tarvo::unzip {

namespace {

// Stored entries are copied in blocks of this size: large enough that the copy is bound
// by the disk, small enough that memory stays flat whatever the entry's size.
constexpr std::size_t kCopyBlock = 256 * 1024;

enum : std::uint16_t { kMethodStored = 0, kMethodDeflate = 8, kMethodDeflate64 = 9 };

void CheckVersion(const TVmZipItem& item) {
  if ((item.VersionNeededToExtract() & 0xFF) >= zipfmt::kFirstUnsupportedVersion) throw EVmZipVersion();
}

void CopyStored(core::TStream& input, core::TStream& output, std::uint64_t size) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kCopyBlock]);
  while (size > 0) {
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyBlock));
    input.ReadBuffer(buffer.get(), n);
    output.WriteBuffer(buffer.get(), n);
    size -= n;
  }
}

// Asks the archive's need-password callback; an empty answer means give up.
void AskPassword(TVmZipArchive& archive, bool& abort) {
  std::string answer = archive.FPassword;
  if (archive.FOnNeedPassword) archive.FOnNeedPassword(&archive, answer);
  if (answer.empty())
    abort = true;
  else
    archive.FPassword = answer;
}

std::unique_ptr<core::TStream> DecryptInput(TVmZipArchive& archive, std::unique_ptr<core::TStream> subset,
                                            std::uint32_t checkValue) {
  bool abort = false;
  if (archive.FPassword.empty()) AskPassword(archive, abort);
  if (archive.FPassword.empty()) throw EVmZipInvalidPassword();
  int failures = 0;
  for (;;) {
    if (abort) throw EVmUserAbort();
    auto decrypt = std::make_unique<TVmDfDecryptStream>(subset.get(), archive.FPassword, checkValue);
    if (decrypt->IsValid()) {
      subset.release();
      decrypt->SetOwnsStream(true);
      return decrypt;
    }
    if (++failures > archive.FPasswordRetries) throw EVmZipInvalidPassword();
    AskPassword(archive, abort);
  }
}

// Creates the output file, replacing an existing one: a symbolic link in its place is
// removed first (never followed), and a read-only file is refused as Windows would.
std::unique_ptr<core::TFileStream> CreateOutputFile(const std::string& name) {
  struct stat st {};
  if (::lstat(name.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      if (::unlink(name.c_str()) != 0) throw core::EFCreateError(name, errno);
    } else if (S_ISREG(st.st_mode) && platform::IsReadOnlyFile(name)) {
      throw core::EFCreateError(name, EACCES);
    }
  }
  return std::make_unique<core::TFileStream>(name, core::fmCreate | core::fmShareDenyWrite);
}

void ApplyDateAndAttributes(const TVmZipItem& item, const std::string& name) {
  platform::SetFileLastWriteTime(name, item.LastModFileDate(), item.LastModFileTime());
  platform::SetFileAttributes(name, item.NativeFileAttributes(), item.UnixMode());
}

}  // namespace

std::unique_ptr<core::TStream> PrepareEntryInput(TVmZipArchive& archive, TVmZipItem& item) {
  CheckVersion(item);
  archive.SeekToLocalHeader(item);
  core::TStream& stream = archive.DataStream();
  TVmZipLocalFileHeader local;
  local.LoadFromStream(stream);

  std::uint32_t checkValue = (local.FGeneralPurposeBitFlag & zipfmt::kFlagDataDescriptor)
                                 ? static_cast<std::uint32_t>(local.FLastModFileTime) << 16
                                 : item.CRC32();
  auto subset = std::make_unique<TVmUnzipSubsetStream>(stream, item.CompressedSize());
  if (!(item.GeneralPurposeBitFlag() & zipfmt::kFlagEncrypted)) return subset;
  return DecryptInput(archive, std::move(subset), checkValue);
}

void DecodeEntry(TVmZipArchive& archive, TVmZipItem& item, core::TStream& input, core::TStream& destination) {
  std::uint64_t size = item.UncompressedSize();
  if (size == 0) return;
  TVmUnzipOutputStream output(destination, size, [&archive, &item](std::uint8_t percent, bool& abort) {
    abort = archive.DoItemProgress(&item, percent);
  });
  switch (item.CompressionMethod() & 0x7F) {
    case kMethodStored:
      CopyStored(input, output, size);
      break;
    case kMethodDeflate: {
      TVmDeflateHelper helper;
      helper.FOptions &= ~static_cast<std::uint32_t>(dfc_Deflate64);
      Inflate(input, output, &helper);
      break;
    }
    case kMethodDeflate64: {
      TVmDeflateHelper helper;
      helper.FOptions |= dfc_Deflate64;
      Inflate(input, output, &helper);
      break;
    }
    default:
      if (!DecodeFurtherMethod(item.CompressionMethod() & 0x7F, item.GeneralPurposeBitFlag(), input, output, size))
        throw EVmZipInvalidMethod();
  }
  if (output.CRC32() != item.CRC32()) {
    if (!archive.HasItemFailureHandler()) throw EVmZipBadCRC();
    archive.ReportItemFailure(&item, TVmProcessType::ptExtract, TVmErrorClass::ecVellmora, 19,
                              core::LoadResString(SVmZipBadCRC));
  }
}

void ExtractEntryToFile(TVmZipArchive& archive, TVmZipItem& item, const std::string& outputName) {
  if (item.IsDirectory()) {
    CreateFolderPath(outputName);
    ApplyDateAndAttributes(item, outputName);
    return;
  }
  std::unique_ptr<core::TStream> input = PrepareEntryInput(archive, item);
  {
    std::unique_ptr<core::TFileStream> file = CreateOutputFile(outputName);
    try {
      DecodeEntry(archive, item, *input, *file);
    } catch (const EVmUserAbort&) {
      file.reset();
      ::unlink(outputName.c_str());
      archive.SetStatus(TVmArchiveStatus::asInvalid);
      throw;
    } catch (...) {
      file.reset();
      ::unlink(outputName.c_str());
      throw;
    }
  }
  ApplyDateAndAttributes(item, outputName);
}

void ExtractEntryToStream(TVmZipArchive& archive, TVmZipItem& item, core::TStream* destination) {
  if (!destination) throw EVmBadStream();
  std::unique_ptr<core::TStream> input = PrepareEntryInput(archive, item);
  DecodeEntry(archive, item, *input, *destination);
}

void TestEntry(TVmZipArchive& archive, TVmZipItem& item) {
  CheckVersion(item);
  archive.SeekToLocalHeader(item);
  TVmZipLocalFileHeader local;
  local.LoadFromStream(archive.DataStream());

  const TVmZipDirectoryFileHeader& central = item.ItemInfo();
  // A writer that streams (flag bit 3) cannot know the CRC and sizes when it writes the local
  // header; it leaves them 0 and puts the real values in the data descriptor and the central
  // directory. Those fields are only compared when the local header claims to hold them, so a
  // sound streamed archive does not fail its test.
  const bool streamed = (local.FGeneralPurposeBitFlag & 0x08) != 0;
  bool same = local.FVersionNeededToExtract == central.FVersionNeededToExtract &&
              local.FGeneralPurposeBitFlag == central.FGeneralPurposeBitFlag &&
              local.FLastModFileTime == central.FLastModFileTime &&
              local.FLastModFileDate == central.FLastModFileDate &&
              (streamed || local.FCRC32 == central.FCRC32) && local.FFileName == central.FFileName;
  if (same && !streamed) {
    const std::uint8_t* zip64;
    std::uint16_t zip64Size;
    if (local.FExtraField.Find(zipfmt::kZip64ExtraId, zip64, zip64Size)) {
      same = zip64Size >= 16 && GetLE64(zip64 + 8) == item.CompressedSize() &&
             GetLE64(zip64) == item.UncompressedSize();
    } else {
      same = item.CompressedSize() == local.FCompressedSize && item.UncompressedSize() == local.FUncompressedSize;
    }
  }
  if (!same) throw EVmZipInvalidLFH();

  core::TNullStream sink;
  ExtractEntryToStream(archive, item, &sink);
}

}  // namespace tarvo::unzip
