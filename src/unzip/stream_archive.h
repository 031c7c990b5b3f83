// Archives whose content is read front to back: tar, and one file or a tar compressed by
// gzip or bzip2.
//
// The content is never held in memory. Opening a tar reads its headers and passes over the
// data; opening a compressed file decodes it once from the start to list the entries (and,
// for gzip, to check every member's trailer before anything is written) and keeps what it
// decoded in an unlinked temporary file (in the temporary folder when one is set, else in
// the system's, TMPDIR or /tmp, and only failing that in the base directory), so that
// extracting and testing read that copy instead of decoding again. Each extraction or test
// is one pass over the content, writing every selected entry as its bytes go by. When the
// copy cannot be kept (no such folder, no room: it may take a quarter of the free space at
// most) each pass decodes the archive again.
//
// Decoding stops at what the archive needs. A tar ends at its end-of-archive block: the
// compressed stream is decoded at most kTarTailAllowance further (to check its trailer,
// which normally follows the tar's padding), and what lies beyond is ignored, as tar
// programs do. The copy holds the tar up to that block, and a single file up to the size
// its archive declares (gzip: ISIZE); a file that decodes to more is still checked (a
// file of several gzip members declares only its last member's size) but not kept, and
// extracting it never writes more than opening counted and checked. No content may decode
// to more than kMaxExpansion times the archive's size: beyond that opening fails with
// EVmContentTooLarge.
//
// A tar's entries go through the same output path as ZIP entries (the base directory, the
// extract options, folders reached without following links, the temporary name replaced
// on success); links, devices and FIFOs are never created and fail as their entry's
// failure (EVmNotCreated). An entry whose data the content ends before fails with
// the stream read error. A damaged compressed stream fails every selected entry it stops.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "unzip/archive.h"
#include "unzip/archive_item.h"
#include "unzip/tar_parser.h"

namespace tarvo::unzip {

// Deflate's utmost expansion is 1032 to 1: no gzip file decodes to more, and a bzip2 file
// (which could claim a million to one) is held to the same, plus room for small files.
inline constexpr std::uint64_t kMaxExpansion = 1032;
inline constexpr std::uint64_t kExpansionAllowance = 1u << 20;
// How far a compressed stream is decoded past a tar's end-of-archive block: tar programs
// pad the archive to whole records (10 KiB by default, at most 1 MiB of blocking factor).
inline constexpr std::uint64_t kTarTailAllowance = 1u << 20;

// One entry of a tar, or the one file a compressed stream holds.
class TVmStreamItem : public TVmArchiveItem {
public:
  // hasMode: the entry carries Unix permissions (a tar entry does, a compressed file not).
  TVmStreamItem(const TVmTarEntry& entry, std::uint64_t compressedSize, bool hasMode);

  char TypeFlag() const noexcept { return FTypeFlag; }
  const std::string& LinkName() const noexcept { return FLinkName; }
  std::uint32_t Mode() const noexcept { return FMode; }
  std::int64_t ModificationTime() const noexcept { return FMTime; }
  long UnixMode() const noexcept { return FHasMode ? static_cast<long>(FMode) : -1; }
  bool IsDirectory() const override { return FIsDirectory; }
  // Regular file content (see TVmTarEntry::IsFile).
  bool IsFile() const noexcept { return FIsFile; }

private:
  char FTypeFlag;
  std::string FLinkName;
  std::uint32_t FMode;
  bool FHasMode;
  std::int64_t FMTime;
  bool FIsDirectory;
  bool FIsFile;
};

class TVmStreamArchive : public TVmArchive {
public:
  TVmStreamArchive(const std::string& fileName, std::uint32_t mode, TVmArchiveType type);
  TVmStreamArchive(core::TStream* stream, const std::string& archiveName, TVmArchiveType type);
  ~TVmStreamArchive() override;

  TVmArchiveType ArchiveType() const noexcept { return FType; }
  // True when the content is a tar (always for atTar and the tarred kinds; for a plain
  // gzip or bzip2 file when its first decoded block is a tar header).
  bool HoldsTar() const noexcept { return FHoldsTar; }
  TVmStreamItem* StreamItems(std::size_t index) const { return static_cast<TVmStreamItem*>(Items(index)); }

  void ExtractFilesEx(const std::string& fileMask, const std::string& exclusionMask) override;
  void ExtractTaggedItems() override;
  void TestTaggedItems() override;

protected:
  void ReadArchiveDirectory() override;
  // Decodes the whole content from its start into sink. A damaged stream or a failed
  // check raises.
  virtual void Produce(core::TStream& sink) = 0;
  // The name and time of the single file of a compressed stream that is not a tar.
  virtual std::string SingleName() const;
  virtual std::int64_t SingleTime() const { return FArchiveTime; }
  // The size the archive declares for a single file's content, as far as it declares one.
  virtual std::uint64_t DeclaredSize() { return ~std::uint64_t{0}; }

  // Reads the archive stream from its start through sink, in large blocks.
  void CopySource(core::TStream& sink);
  // Bytes handed to sinks at a time.
  static constexpr std::size_t kCopyBlock = 256 * 1024;

  TVmArchiveType FType;
  std::int64_t FArchiveTime = -1;

private:
  class TPass;
  class TContentCopy;
  class TTee;
  // The kept copy's file, or null when none can be made.
  std::unique_ptr<TContentCopy> MakeCopy() const;
  // kMaxExpansion times the archive's size.
  std::uint64_t ContentLimit() const;
  // The tar content into tar, from the kept copy or the tar file itself when there is one
  // (passing over, by seeking, the data neither needsData nor the parser has to see), else
  // decoded anew.
  void FeedTar(TVmTarParser& tar, const std::function<bool()>& needsData);
  // The whole content into sink: from the kept copy when there is one, else decoded anew.
  void Replay(core::TStream& sink);
  enum class TPassKind { pkExtract, pkExtractOne, pkToStream, pkTest, pkTestOne };
  // One pass over the content: every selected item is extracted, tested or streamed.
  void RunPass(TPassKind kind, const std::vector<bool>& selected, const std::string& newName,
               core::TStream* destination);
  void InstallHelpers();

  bool FHoldsTar = false;
  std::unique_ptr<TContentCopy> FCopy;
};

// A tar file (ustar, old GNU, pax long names).
class TVmTarArchive final : public TVmStreamArchive {
public:
  explicit TVmTarArchive(const std::string& fileName, std::uint32_t mode)
      : TVmStreamArchive(fileName, mode, TVmArchiveType::atTar) {}
  TVmTarArchive(core::TStream* stream, const std::string& archiveName)
      : TVmStreamArchive(stream, archiveName, TVmArchiveType::atTar) {}

protected:
  void Produce(core::TStream& sink) override { CopySource(sink); }
};

// A bzip2 file holding one file or a tar (atBzip2 / atBzippedTar), decoded by libbz2;
// streams that follow one another form one content. A stream that ends before its end
// mark fails with the stream read error.
class TVmBzip2Archive final : public TVmStreamArchive {
public:
  using TVmStreamArchive::TVmStreamArchive;

protected:
  void Produce(core::TStream& sink) override;
};

// The name a compressed file's content takes when the archive stores none: the archive's
// file name without ".gz"/".bz2" ("x.tgz" and "x.tbz" give "x.tar").
std::string NameWithoutCompressionSuffix(const std::string& archiveName);

}  // namespace tarvo::unzip
