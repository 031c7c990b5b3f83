#include "unzip/output_stream.h"

#include "core/crc32.h"
#include "core/exception.h"
#include "core/resource_string.h"
#include "unzip/vm_exception.h"
#include "unzip/vm_strings.h"

namespace tarvo::unzip {

TVmUnzipOutputStream::TVmUnzipOutputStream(core::TStream& destination, std::uint64_t uncompressedSize,
                                           TVmUnzipProgressEvent onProgress, bool computeCRC)
    : FStream(destination),
      FUncompressedSize(uncompressedSize),
      FOnProgress(std::move(onProgress)),
      FComputeCRC(computeCRC) {}

std::size_t TVmUnzipOutputStream::Read(void*, std::size_t) {
  throw EVmException(core::LoadResString(SVmOutputRead));
}

std::size_t TVmUnzipOutputStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (count > FUncompressedSize - FBytesWritten) throw EVmZipDataOverrun();
  if (FComputeCRC) FCRC32 = core::UpdateCRC32(FCRC32, buffer, count);
  std::size_t written = FStream.Write(buffer, count);
  FBytesWritten += written;
  if (FOnProgress) {
    int percent;
    if (FUncompressedSize == 0) {
      percent = 0;
    } else if (FBytesWritten >= FUncompressedSize) {
      percent = 100;
    } else {
      // written * 100 / expected without overflow for sizes near 2^64
      percent = static_cast<int>(static_cast<unsigned __int128>(FBytesWritten) * 100 / FUncompressedSize);
    }
    if (percent != FCurrentProgress) {
      FCurrentProgress = percent;
      bool abort = false;
      FOnProgress(static_cast<std::uint8_t>(percent), abort);
      if (abort) throw EVmUserAbort();
    }
  }
  return written;
}

std::int64_t TVmUnzipOutputStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  if (offset == 0 && origin != core::TSeekOrigin::soBeginning) return static_cast<std::int64_t>(FBytesWritten);
  if (origin == core::TSeekOrigin::soBeginning && offset == static_cast<std::int64_t>(FBytesWritten))
    return offset;
  throw core::EStreamError("TVmUnzipOutputStream.Seek not supported");
}

}  // namespace tarvo::unzip
