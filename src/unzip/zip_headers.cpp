#include "unzip/zip_headers.h"

#include <vector>

#include "core/exception.h"

#include "unzip/byte_order.h"
#include "unzip/vm_exception.h"
#include "unzip/zip_format.h"

namespace tarvo::unzip {

std::size_t ReadUpTo(core::TStream& stream, void* buffer, std::size_t count) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::size_t n = stream.Read(p + done, count - done);
    if (n == 0) break;
    done += n;
  }
  return done;
}

namespace {

// Reads into text, reusing its buffer: a header loaded again and again allocates once.
void ReadText(core::TStream& stream, std::string& text, std::size_t length) {
  text.resize(length);
  if (length > 0) stream.ReadBuffer(text.data(), length);
}

std::vector<std::uint8_t> ReadBytes(core::TStream& stream, std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  if (length > 0) stream.ReadBuffer(bytes.data(), length);
  return bytes;
}

}  // namespace

TVmZipLocalFileHeader::TVmZipLocalFileHeader() : TVmZipFileHeader(zipfmt::kLocalFileHeaderSignature) {}

void TVmZipLocalFileHeader::LoadFromStream(core::TStream& stream) {
  std::uint8_t f[zipfmt::kLocalFileHeaderSize] = {};
  ReadUpTo(stream, f, sizeof f);
  FSignature = GetLE32(f + 0);                 // local file header signature
  FVersionNeededToExtract = GetLE16(f + 4);    // version needed to extract
  FGeneralPurposeBitFlag = GetLE16(f + 6);     // general purpose bit flag
  FCompressionMethod = GetLE16(f + 8);         // compression method
  FLastModFileTime = GetLE16(f + 10);          // last mod file time
  FLastModFileDate = GetLE16(f + 12);          // last mod file date
  FCRC32 = GetLE32(f + 14);                    // crc-32
  FCompressedSize = GetLE32(f + 18);           // compressed size
  FUncompressedSize = GetLE32(f + 22);         // uncompressed size
  std::uint16_t nameLength = GetLE16(f + 26);  // file name length
  std::uint16_t extraLength = GetLE16(f + 28); // extra field length
  // A record without its signature is not one: its lengths are noise, and reading by them
  // would only turn "not a PKZip file" into a read error somewhere past the end.
  if (!IsValid()) throw EVmZipInvalid();
  ReadText(stream, FFileName, nameLength);
  FExtraField.Assign(ReadBytes(stream, extraLength));
}

TVmZipDirectoryFileHeader::TVmZipDirectoryFileHeader() : TVmZipFileHeader(zipfmt::kCentralHeaderSignature) {}

void TVmZipDirectoryFileHeader::LoadFromStream(core::TStream& stream) {
  std::uint8_t f[zipfmt::kCentralHeaderSize] = {};
  ReadUpTo(stream, f, sizeof f);
  FSignature = GetLE32(f + 0);                   // central file header signature
  FVersionMadeBy = GetLE16(f + 4);               // version made by
  FVersionNeededToExtract = GetLE16(f + 6);      // version needed to extract
  FGeneralPurposeBitFlag = GetLE16(f + 8);       // general purpose bit flag
  FCompressionMethod = GetLE16(f + 10);          // compression method
  FLastModFileTime = GetLE16(f + 12);            // last mod file time
  FLastModFileDate = GetLE16(f + 14);            // last mod file date
  FCRC32 = GetLE32(f + 16);                      // crc-32
  FCompressedSize = GetLE32(f + 20);             // compressed size
  FUncompressedSize = GetLE32(f + 24);           // uncompressed size
  std::uint16_t nameLength = GetLE16(f + 28);    // file name length
  std::uint16_t extraLength = GetLE16(f + 30);   // extra field length
  std::uint16_t commentLength = GetLE16(f + 32); // file comment length
  FDiskNumberStart = GetLE16(f + 34);            // disk number start
  FInternalFileAttributes = GetLE16(f + 36);     // internal file attributes
  FExternalFileAttributes = GetLE32(f + 38);     // external file attributes
  FRelativeOffset = GetLE32(f + 42);             // relative offset of local header
  if (!IsValid()) throw EVmZipInvalid();  // see the local header
  ReadText(stream, FFileName, nameLength);
  FExtraField.Assign(ReadBytes(stream, extraLength));
  ReadText(stream, FFileComment, commentLength);
}

TVmZipEntryPlace TVmZipDirectoryFileHeader::Place() const {
  TVmZipEntryPlace place{FUncompressedSize, FCompressedSize, FRelativeOffset, FDiskNumberStart};
  const std::uint8_t* data;
  std::uint16_t size;
  if (!FExtraField.Find(zipfmt::kZip64ExtraId, data, size)) return place;
  // Only the values whose central field is at its maximum are present, in this order.
  std::size_t pos = 0;
  auto take = [&](std::size_t width) -> std::uint64_t {
    if (pos + width > size) throw core::EReadError();
    std::uint64_t v = width == 8 ? GetLE64(data + pos) : GetLE32(data + pos);
    pos += width;
    return v;
  };
  if (FUncompressedSize == zipfmt::kMax32) place.UncompressedSize = take(8);
  if (FCompressedSize == zipfmt::kMax32) place.CompressedSize = take(8);
  if (FRelativeOffset == zipfmt::kMax32) place.RelativeOffset = take(8);
  if (FDiskNumberStart == zipfmt::kMax16) place.DiskNumberStart = static_cast<std::uint32_t>(take(4));
  return place;
}

void TVmZipDirectoryFileFooter::LoadFromStream(core::TStream& stream) {
  std::uint8_t f[zipfmt::kEndOfDirectorySize] = {};
  ReadUpTo(stream, f, sizeof f);
  if (GetLE32(f) != zipfmt::kEndOfDirectorySignature) throw EVmZipInvalid();
  FDiskNumber = GetLE16(f + 4);        // number of this disk
  FStartDiskNumber = GetLE16(f + 6);   // disk where the central directory starts
  FEntriesOnDisk = GetLE16(f + 8);     // number of central directory records on this disk
  FTotalEntries = GetLE16(f + 10);     // total number of central directory records
  FDirectorySize = GetLE32(f + 12);    // size of central directory
  FDirectoryOffset = GetLE32(f + 16);  // offset of start of central directory
  std::uint16_t commentLength = GetLE16(f + 20);
  // The locator found this record with its comment inside the file, so this read fits.
  ReadText(stream, FZipfileComment, commentLength);
}

bool TVmZipDirectoryFileFooter::IsZip64() const noexcept {
  return FDiskNumber >= zipfmt::kMax16 || FStartDiskNumber >= zipfmt::kMax16 || FEntriesOnDisk >= zipfmt::kMax16 ||
         FTotalEntries >= zipfmt::kMax16 || FDirectorySize == zipfmt::kMax32 || FDirectoryOffset == zipfmt::kMax32;
}

void TVmZipDirectoryFileFooter::LoadZip64FromStream(core::TStream& stream) {
  std::uint8_t f[zipfmt::kZip64EndReadSize] = {};
  ReadUpTo(stream, f, sizeof f);
  if (GetLE32(f) != zipfmt::kZip64EndSignature) throw EVmZipInvalid();
  // 4: size of the record (8), 12: version made by (2), 14: version needed (2)
  std::uint32_t diskNumber = GetLE32(f + 16);       // number of this disk
  std::uint32_t startDiskNumber = GetLE32(f + 20);  // disk where the central directory starts
  std::uint64_t entriesOnDisk = GetLE64(f + 24);    // records on this disk
  std::uint64_t totalEntries = GetLE64(f + 32);     // total records
  std::uint64_t directorySize = GetLE64(f + 40);    // size of the central directory
  std::uint64_t directoryOffset = GetLE64(f + 48);  // offset of the central directory
  if (FDiskNumber == zipfmt::kMax16) FDiskNumber = diskNumber;
  if (FStartDiskNumber == zipfmt::kMax16) FStartDiskNumber = startDiskNumber;
  if (FEntriesOnDisk == zipfmt::kMax16) FEntriesOnDisk = entriesOnDisk;
  if (FTotalEntries == zipfmt::kMax16) FTotalEntries = totalEntries;
  if (FDirectorySize == zipfmt::kMax32) FDirectorySize = directorySize;
  if (FDirectoryOffset == zipfmt::kMax32) FDirectoryOffset = directoryOffset;
}

}  // namespace tarvo::unzip
