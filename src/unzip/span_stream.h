// Reading a split ZIP set (the images of disks 0..N on a fixed drive) as one stream.
//
// The set is laid out as one linear address space: disk d's bytes follow disk d-1's. A
// ZIP (disk, offset) pair is reached with SeekDisk; reading runs on from one image into
// the next, so an entry whose data crosses a disk boundary reads like any other. The last
// image is the archive's own file; image d < N is named after it by SplitImageName.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"

namespace tarvo::unzip {

// The name of image `disk` of a set whose last disk is `lastDisk`: the archive's own name
// for the last one; otherwise the extension's first two characters (dot included; "."
// for an extension of one character or none) followed by disk + 1 in two or more digits:
// "set.zip" disk 0 → "set.z01".
std::string SplitImageName(const std::string& archiveName, std::uint32_t disk, std::uint32_t lastDisk);

// Asked before an image other than the last is opened: may change the name; abort = true
// gives up with EVmUserAbort.
using TVmImageRequest = std::function<void(std::uint32_t disk, std::string& imageName, bool& abort)>;

class TVmSpanReadStream final : public core::TStream {
public:
  // lastImage is the open archive file (disk lastDisk); it stays the caller's.
  TVmSpanReadStream(core::TStream& lastImage, std::string archiveName, std::uint32_t lastDisk,
                    TVmImageRequest onRequestImage);

  // Positions at an offset of a disk. A disk beyond the set's last, or an image that
  // cannot be opened, raises (the file stream's open error names the missing image).
  void SeekDisk(std::uint32_t disk, std::uint64_t offset);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;  // raises: read-only
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  std::int64_t Size() override;

  std::uint32_t LastDisk() const noexcept { return FLastDisk; }

private:
  // Makes sure the sizes (and so the linear start) of disks 0..disk are known.
  void KnowDisksUpTo(std::uint32_t disk);
  core::TStream& Image(std::uint32_t disk);
  std::string ImageName(std::uint32_t disk);

  core::TStream& FLastImage;
  std::string FArchiveName;
  std::uint32_t FLastDisk;
  TVmImageRequest FOnRequestImage;
  std::vector<std::int64_t> FDiskStart;  // linear start of each disk known so far (+ the end)
  std::vector<std::string> FImageNames;
  std::unique_ptr<core::TStream> FOpenImage;  // the one non-last image kept open
  std::uint32_t FOpenDisk = 0;
  std::int64_t FPosition = 0;
};

}  // namespace tarvo::unzip
