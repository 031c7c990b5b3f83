#include "unzip/span_stream.h"

#include <algorithm>
#include <cstdio>

#include "core/exception.h"
#include "core/file_stream.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

std::string SplitImageName(const std::string& archiveName, std::uint32_t disk, std::uint32_t lastDisk) {
  if (disk == lastDisk) return archiveName;
  std::size_t slash = archiveName.find_last_of('/');
  std::size_t dot = archiveName.find_last_of('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  std::string stem = hasExtension ? archiveName.substr(0, dot) : archiveName;
  std::string ext = hasExtension ? archiveName.substr(dot) : std::string();
  std::string prefix = ext.size() <= 2 ? std::string(".") : ext.substr(0, 2);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02u", disk + 1);
  return stem + prefix + digits;
}

TVmSpanReadStream::TVmSpanReadStream(core::TStream& lastImage, std::string archiveName, std::uint32_t lastDisk,
                                     TVmImageRequest onRequestImage)
    : FLastImage(lastImage),
      FArchiveName(std::move(archiveName)),
      FLastDisk(lastDisk),
      FOnRequestImage(std::move(onRequestImage)) {
  FDiskStart.push_back(0);
}

std::string TVmSpanReadStream::ImageName(std::uint32_t disk) {
  while (FImageNames.size() <= disk) FImageNames.emplace_back();
  if (FImageNames[disk].empty()) {
    std::string name = SplitImageName(FArchiveName, disk, FLastDisk);
    if (FOnRequestImage) {
      bool abort = false;
      FOnRequestImage(disk, name, abort);
      if (abort) throw EVmUserAbort();
    }
    FImageNames[disk] = name;
  }
  return FImageNames[disk];
}

core::TStream& TVmSpanReadStream::Image(std::uint32_t disk) {
  if (disk == FLastDisk) return FLastImage;
  if (!FOpenImage || FOpenDisk != disk) {
    FOpenImage.reset();
    FOpenImage = std::make_unique<core::TFileStream>(ImageName(disk), core::fmOpenRead | core::fmShareDenyWrite);
    FOpenDisk = disk;
  }
  return *FOpenImage;
}

void TVmSpanReadStream::KnowDisksUpTo(std::uint32_t disk) {
  // FDiskStart[d] is known for d < FDiskStart.size(); the size of disk d gives d + 1.
  while (FDiskStart.size() <= static_cast<std::size_t>(disk) + 1 && FDiskStart.size() <= FLastDisk + std::size_t{1}) {
    std::uint32_t d = static_cast<std::uint32_t>(FDiskStart.size() - 1);
    std::int64_t size = Image(d).Size();
    FDiskStart.push_back(FDiskStart.back() + size);
  }
}

void TVmSpanReadStream::SeekDisk(std::uint32_t disk, std::uint64_t offset) {
  if (disk > FLastDisk) throw EVmZipInvalid();
  KnowDisksUpTo(disk);
  std::uint64_t start = static_cast<std::uint64_t>(FDiskStart[disk]);
  if (offset > static_cast<std::uint64_t>(INT64_MAX) - start) throw EVmZipInvalid();
  FPosition = static_cast<std::int64_t>(start + offset);
}

std::size_t TVmSpanReadStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    // The disk holding FPosition: the last known start at or below it.
    std::uint32_t disk = 0;
    for (;;) {
      KnowDisksUpTo(disk);
      if (disk == FLastDisk || FPosition < FDiskStart[disk + 1]) break;
      ++disk;
    }
    core::TStream& image = Image(disk);
    image.SetPosition(FPosition - FDiskStart[disk]);
    std::size_t want = count - done;
    if (disk < FLastDisk)
      want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(want), FDiskStart[disk + 1] - FPosition));
    std::size_t n = want > 0 ? image.Read(out + done, want) : 0;
    if (n == 0) {
      if (disk < FLastDisk && FPosition >= FDiskStart[disk + 1]) continue;
      break;
    }
    done += n;
    FPosition += static_cast<std::int64_t>(n);
  }
  return done;
}

std::size_t TVmSpanReadStream::Write(const void*, std::size_t) {
  throw core::EStreamError("TVmSpanReadStream.Write not supported");
}

std::int64_t TVmSpanReadStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  FPosition = SeekTarget(offset, origin, FPosition);
  return FPosition;
}

std::int64_t TVmSpanReadStream::Size() {
  KnowDisksUpTo(FLastDisk);
  return FDiskStart[FLastDisk + std::size_t{1}];
}

}  // namespace tarvo::unzip
