#include "unzip/output_stream.h"

#include "core/crc32.h"
#include "core/exception.h"
#include "core/resource_string.h"
#include "unzip/vm_exception.h"
#include "unzip/vm_strings.h"

namespace tarvo::unzip {

namespace {

// done * 100 / total (integer division) for done < total, exact for sizes near 2^64 and
// without a 128-bit type (the 32-bit build has none): two decimal digits of done / total,
// each by adding the remainder ten times modulo total, so no sum ever overflows.
int WholePercent(std::uint64_t done, std::uint64_t total) noexcept {
  int percent = 0;
  std::uint64_t remainder = done;
  for (int digit = 0; digit < 2; ++digit) {
    std::uint64_t sum = 0;
    int d = 0;
    for (int i = 0; i < 10; ++i) {
      if (sum >= total - remainder) {
        sum -= total - remainder;
        ++d;
      } else {
        sum += remainder;
      }
    }
    percent = percent * 10 + d;
    remainder = sum;
  }
  return percent;
}

}  // namespace

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
      percent = WholePercent(FBytesWritten, FUncompressedSize);
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
