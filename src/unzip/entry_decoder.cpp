#include "unzip/entry_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/resource_string.h"
#include "platform/file_time.h"
#include "unzip/archive_inflate.h"
#include "unzip/byte_order.h"
#include "unzip/decrypt_stream.h"
#include "unzip/extract_path.h"
#include "unzip/methods/further_methods.h"
#include "unzip/output_file.h"
#include "unzip/output_stream.h"
#include "unzip/subset_stream.h"
#include "unzip/vm_exception.h"
#include "unzip/vm_strings.h"
#include "unzip/zip_format.h"
#include "unzip/zip_headers.h"

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

// What an entry's data needs from its local header: the flags, the time and the header's
// whole size. The name and the extra field are read past like any other bytes, so a header
// cut short fails just as one read in full; nothing is kept of them.
struct TLocalHeaderSpan {
  std::uint16_t Flags;
  std::uint16_t Time;
  std::uint64_t Size;
};

TLocalHeaderSpan ReadLocalHeaderSpan(core::TStream& stream) {
  std::uint8_t f[zipfmt::kLocalFileHeaderSize] = {};
  ReadUpTo(stream, f, sizeof f);
  if (GetLE32(f) != zipfmt::kLocalFileHeaderSignature) throw EVmZipInvalid();
  std::size_t variable = std::size_t{GetLE16(f + 26)} + GetLE16(f + 28);  // name and extra field
  const TLocalHeaderSpan span{GetLE16(f + 6), GetLE16(f + 10), zipfmt::kLocalFileHeaderSize + variable};
  std::uint8_t skipped[512];
  while (variable > 0) {
    const std::size_t n = std::min(variable, sizeof skipped);
    stream.ReadBuffer(skipped, n);
    variable -= n;
  }
  return span;
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

}  // namespace

std::unique_ptr<core::TStream> PrepareEntryInput(TVmZipArchive& archive, TVmZipItem& item) {
  CheckVersion(item);
  core::TStream& stream = archive.SeekToLocalHeader(item);
  const TLocalHeaderSpan local = ReadLocalHeaderSpan(stream);

  std::uint32_t checkValue = (local.Flags & zipfmt::kFlagDataDescriptor) ? static_cast<std::uint32_t>(local.Time) << 16
                                                                        : item.CRC32();
  // The data must lie between its own local header and the next one (or the directory).
  std::uint64_t dataEnd = item.FRelativeOffset;
  if (item.FSharesLocalHeader || __builtin_add_overflow(dataEnd, local.Size, &dataEnd) ||
      __builtin_add_overflow(dataEnd, item.CompressedSize(), &dataEnd) || dataEnd > item.FDataLimit)
    throw EVmZipOverlap();
  auto subset = std::make_unique<TVmUnzipSubsetStream>(stream, item.CompressedSize());
  if (!(item.GeneralPurposeBitFlag() & zipfmt::kFlagEncrypted)) return subset;
  return DecryptInput(archive, std::move(subset), checkValue);
}

void DecodeEntry(TVmZipArchive& archive, TVmZipItem& item, core::TStream& input, core::TStream& destination) {
  std::uint64_t size = item.UncompressedSize();
  if (size == 0) return;
  const std::uint16_t method = item.CompressionMethod() & 0x7F;
  // The inflater checksums its output as it goes; with no part size and no progress stop
  // set here its result covers every byte written, and is taken instead of a second pass.
  const bool inflated = method == kMethodDeflate || method == kMethodDeflate64;
  TVmUnzipOutputStream output(
      destination, size,
      [&archive, &item](std::uint8_t percent, bool& abort) { abort = archive.DoItemProgress(&item, percent); },
      !inflated);
  switch (method) {
    case kMethodStored:
      CopyStored(input, output, size);
      break;
    case kMethodDeflate:
    case kMethodDeflate64: {
      TVmDeflateHelper helper;
      if (method == kMethodDeflate64)
        helper.FOptions |= dfc_Deflate64;
      else
        helper.FOptions &= ~static_cast<std::uint32_t>(dfc_Deflate64);
      output.SetCRC32(InflateArchiveData(input, output, &helper));
      break;
    }
    default:
      if (!DecodeFurtherMethod(method, item.GeneralPurposeBitFlag(), input, output, size))
        throw EVmZipInvalidMethod();
  }
  // A mismatch fails the entry like any other damage: a file whose content is known to
  // be wrong is not installed.
  if (output.CRC32() != item.CRC32()) throw EVmZipBadCRC();
}

void ExtractEntryToFile(TVmZipArchive& archive, TVmZipItem& item, const std::string& outputName) {
  const std::int64_t when = platform::DosDateTimeToEpoch(item.LastModFileDate(), item.LastModFileTime());
  if (item.IsDirectory()) {
    TVmOutputFolders::FinishFolder(archive.OutputFolders().Open(outputName, true), when, item.NativeFileAttributes());
    return;
  }
  std::unique_ptr<core::TStream> input = PrepareEntryInput(archive, item);
  const TVmFolder& folder =
      archive.OutputFolders().Open(ExtractFileDir(outputName), archive.ExtractOptions() & eoCreateDirs);
  TVmOutputFile file(folder, ExtractFileName(outputName), outputName, item.NativeFileAttributes(), item.UnixMode(),
                     archive.SourceIdentity());
  try {
    DecodeEntry(archive, item, *input, file);
  } catch (const EVmUserAbort&) {
    archive.SetStatus(TVmArchiveStatus::asInvalid);
    throw;
  }
  file.Commit(when);
}

void ExtractEntryToStream(TVmZipArchive& archive, TVmZipItem& item, core::TStream* destination) {
  if (!destination) throw EVmBadStream();
  std::unique_ptr<core::TStream> input = PrepareEntryInput(archive, item);
  DecodeEntry(archive, item, *input, *destination);
}

void TestEntry(TVmZipArchive& archive, TVmZipItem& item) {
  CheckVersion(item);
  TVmZipLocalFileHeader local;
  local.LoadFromStream(archive.SeekToLocalHeader(item));

  // A writer that streams (flag bit 3) cannot know the CRC and sizes when it writes the local
  // header; it leaves them 0 and puts the real values in the data descriptor and the central
  // directory. Those fields are only compared when the local header claims to hold them, so a
  // sound streamed archive does not fail its test.
  const bool streamed = (local.FGeneralPurposeBitFlag & zipfmt::kFlagDataDescriptor) != 0;
  const std::uint8_t* zip64 = nullptr;
  std::uint16_t zip64Size = 0;
  const bool localZip64 = local.FExtraField.Find(zipfmt::kZip64ExtraId, zip64, zip64Size);
  // A writer that gives every local header a ZIP64 field (zip -fz) raises its version
  // needed to 4.5 for that field alone, while the central entry of a small or empty entry
  // says what the data needs: that is no disagreement.
  const bool sameVersion = local.FVersionNeededToExtract == item.VersionNeededToExtract() ||
                           (localZip64 && (local.FVersionNeededToExtract & 0xFF) >= 45);
  bool same = sameVersion && local.FGeneralPurposeBitFlag == item.GeneralPurposeBitFlag() &&
              local.FLastModFileTime == item.LastModFileTime() && local.FLastModFileDate == item.LastModFileDate() &&
              (streamed || local.FCRC32 == item.CRC32()) && local.FFileName == item.RawFileName();
  if (same && !streamed) {
    if (localZip64) {
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
