#include "unzip/stream_archive.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>

#include "core/exception.h"
#include "core/file_stream.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "platform/file_time.h"
#include "platform/scratch_file.h"
#include "unzip/extract_path.h"
#include "unzip/mask_match.h"
#include "unzip/methods/bzip2_parallel.h"
#include "unzip/output_file.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

// Headers are read in pieces of this size when the data between them is passed over.
constexpr std::size_t kListBlock = 16 * 1024;
// ... and in blocks of this size when it is needed.
constexpr std::size_t kReadBlock = 256 * 1024;

// An entry that becomes an item: everything but the archive's own root ("./").
bool Listed(const TVmTarEntry& entry) { return !(entry.Name.empty() && entry.IsDirectory()); }

// Takes bytes and counts them: the content of a compressed file that is not a tar.
class TCounter final : public core::TStream {
public:
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::size_t Write(const void*, std::size_t count) override {
    FCount += count;
    return count;
  }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return static_cast<std::int64_t>(FCount); }
  std::uint64_t FCount = 0;
};

// Hands every byte written to a consumer as the data of its current entry.
class TForward final : public core::TStream {
public:
  explicit TForward(TVmTarConsumer& consumer) : FConsumer(consumer) {}
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::size_t Write(const void* buffer, std::size_t count) override {
    FConsumer.EntryData(static_cast<const std::uint8_t*>(buffer), count);
    FWritten += count;
    return count;
  }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return static_cast<std::int64_t>(FWritten); }

private:
  TVmTarConsumer& FConsumer;
  std::uint64_t FWritten = 0;
};

// Decides from the first decoded block whether a compressed file holds a tar, then passes
// everything on to the tar parser or to the counter.
class TContentSniffer final : public core::TStream {
public:
  TContentSniffer(TVmTarParser& tar, TCounter& plain, bool forceTar) : FTar(tar), FPlain(plain) {
    if (forceTar) FTarget = &FTar;
  }
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return 0; }
  std::size_t Write(const void* buffer, std::size_t count) override {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    std::size_t left = count;
    if (!FTarget) {
      std::size_t n = std::min(left, sizeof FHead - FFill);
      std::memcpy(FHead + FFill, p, n);
      FFill += n;
      p += n;
      left -= n;
      if (FFill == sizeof FHead) Decide();
    }
    if (FTarget && left) FTarget->WriteBuffer(p, left);
    return count;
  }
  // The content has ended: decides now if it was shorter than a block.
  void Finish() {
    if (!FTarget) Decide();
  }
  bool IsTar() const noexcept { return FTarget == &FTar; }
  bool IsPlain() const noexcept { return FTarget == &FPlain; }

private:
  void Decide() {
    FTarget = FFill == sizeof FHead && IsTarHeader(FHead) ? static_cast<core::TStream*>(&FTar) : &FPlain;
    FTarget->WriteBuffer(FHead, FFill);
  }
  TVmTarParser& FTar;
  TCounter& FPlain;
  core::TStream* FTarget = nullptr;
  std::uint8_t FHead[TVmTarParser::kBlock];
  std::size_t FFill = 0;
};

// Raised through a decoder to end it: the content holds all that is needed.
struct TEnough {};

// Stands between a decoder and what it feeds. Once the tar has ended, decoding goes on
// only through the tail allowance (far enough to reach the compressed stream's own end
// and check it); then TEnough ends it. Content beyond limit raises EVmContentTooLarge.
class TContentGate final : public core::TStream {
public:
  TContentGate(core::TStream& next, std::uint64_t limit, std::function<bool()> tarEnded)
      : FNext(next), FLimit(limit), FTarEnded(std::move(tarEnded)) {}
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return static_cast<std::int64_t>(FTotal); }
  // A decoder may hand over megabytes at once (the parallel bzip2 decoder writes a block of
  // runs whole): they pass in steps, so that the tar's end is seen between them and what
  // follows it counts as tail, however large the writer's pieces.
  std::size_t Write(const void* buffer, std::size_t count) override {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    for (std::size_t done = 0; done < count;) {
      const std::size_t n = std::min(count - done, kStep);
      Pass(bytes + done, n);
      done += n;
    }
    return count;
  }

private:
  static constexpr std::size_t kStep = 64 << 10;

  void Pass(const std::uint8_t* bytes, std::size_t count) {
    if (FTarEnded && FTarEnded()) {
      FTail += count;
      if (FTail > kTarTailAllowance) throw TEnough{};
    } else if (count > FLimit - FTotal) {
      throw EVmContentTooLarge();
    }
    FTotal += count;
    FNext.WriteBuffer(bytes, count);
  }

  core::TStream& FNext;
  std::uint64_t FLimit;
  std::function<bool()> FTarEnded;
  std::uint64_t FTotal = 0;
  std::uint64_t FTail = 0;
};

}  // namespace

// Hands every byte written on to the next stream and, while it can, to the kept copy:
// a tar's content up to its end-of-archive block, a single file's up to the size its
// archive declares (a copy that would pass it is given up: the passes decode again).
class TVmStreamArchive::TTee final : public core::TStream {
public:
  TTee(core::TStream& next, TContentCopy* copy, const TContentSniffer& sniffer, const TVmTarParser& tar,
       std::uint64_t declared)
      : FNext(next), FCopy(copy), FSniffer(sniffer), FTar(tar), FDeclared(declared) {}
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return 0; }
  std::size_t Write(const void* buffer, std::size_t count) override;

private:
  core::TStream& FNext;
  TContentCopy* FCopy;
  const TContentSniffer& FSniffer;
  const TVmTarParser& FTar;
  std::uint64_t FDeclared;
  std::uint64_t FPassed = 0;
};

namespace {

// Fills the item list while the directory pass goes by.
class TLister final : public TVmTarConsumer {
public:
  explicit TLister(TVmArchiveList& list) : FList(list) {}
  void BeginEntry(const TVmTarEntry& entry) override {
    if (Listed(entry)) FList.Add(std::make_unique<TVmStreamItem>(entry, entry.StoredSize, true));
  }
  void EntryData(const std::uint8_t*, std::size_t) override {}
  void EntryHole(std::uint64_t) override {}
  void EndEntry(bool) override {}

private:
  TVmArchiveList& FList;
};

}  // namespace

// The content as the listing decoded it, in a temporary file that has no name (or loses
// it at once), so nothing is left behind whatever happens to the process. Writing never
// raises: a copy that could not be written whole is only marked unusable.
class TVmStreamArchive::TContentCopy final : public core::TStream {
public:
  // Null when no such file can be made in folder ("" is the current folder).
  static std::unique_ptr<TContentCopy> Create(const std::string& folder) {
    std::unique_ptr<platform::TScratchFile> file = platform::TScratchFile::Create(folder);
    if (!file) return nullptr;
    const std::uint64_t room = file->FreeSpace();
    return std::unique_ptr<TContentCopy>(new TContentCopy(std::move(file), room / 4));
  }

  bool Usable() const noexcept { return !FFailed; }
  void Abandon() noexcept { FFailed = true; }

  std::size_t Write(const void* buffer, std::size_t count) override {
    if (FFailed || count > FBudget - FSize) {
      FFailed = true;
      return count;
    }
    if (!FFile->Append(buffer, count)) {
      FFailed = true;
      return count;
    }
    FSize += count;
    return count;
  }
  std::size_t Read(void*, std::size_t) override { throw core::EReadError(); }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return static_cast<std::int64_t>(FSize); }

  std::uint64_t Size() const noexcept { return FSize; }
  // Up to count bytes from offset at (0 at the end).
  std::size_t ReadAt(std::uint64_t at, void* buffer, std::size_t count) const {
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, FSize - std::min(at, FSize)));
    return FFile->ReadAt(at, buffer, count);
  }
  // Writes the whole copy into sink.
  void CopyTo(core::TStream& sink) const {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kCopyBlock]);
    for (std::uint64_t at = 0; at < FSize;) {
      const std::size_t n = ReadAt(at, buffer.get(), kCopyBlock);
      if (n == 0) throw core::EReadError();
      sink.WriteBuffer(buffer.get(), n);
      at += n;
    }
  }

private:
  TContentCopy(std::unique_ptr<platform::TScratchFile> file, std::uint64_t budget)
      : FFile(std::move(file)), FBudget(budget) {}
  std::unique_ptr<platform::TScratchFile> FFile;
  std::uint64_t FBudget;
  std::uint64_t FSize = 0;
  bool FFailed = false;
};

std::size_t TVmStreamArchive::TTee::Write(const void* buffer, std::size_t count) {
  FNext.WriteBuffer(buffer, count);
  if (FCopy) {
    std::size_t keep = count;
    if (FSniffer.IsTar() && FTar.Ended()) {
      const std::uint64_t end = FTar.EndOffset();
      keep = end > FPassed ? static_cast<std::size_t>(std::min<std::uint64_t>(count, end - FPassed)) : 0;
    } else if (FSniffer.IsPlain() && count > FDeclared - std::min(FPassed, FDeclared)) {
      FCopy->Abandon();
    }
    if (keep) FCopy->Write(buffer, keep);
  }
  FPassed += count;
  return count;
}

TVmStreamItem::TVmStreamItem(const TVmTarEntry& entry, std::uint64_t compressedSize, bool hasMode)
    : FTypeFlag(entry.TypeFlag),
      FLinkName(entry.LinkName),
      FMode(entry.Mode),
      FHasMode(hasMode),
      FMTime(entry.MTime),
      FIsDirectory(entry.IsDirectory()),
      FIsFile(entry.IsFile()) {
  FFileName = entry.Name;
  FUncompressedSize = entry.Size;
  FCompressedSize = compressedSize;
  FExternalFileAttributes = FIsDirectory ? 0x10u : 0u;
  if (hasMode) {
    FExternalFileAttributes |= entry.Mode << 16;
    if (!(entry.Mode & 0200)) FExternalFileAttributes |= 0x01;  // read-only
  }
  platform::EpochToDosDateTime(entry.MTime, FLastModFileDate, FLastModFileTime);
}

TVmStreamArchive::TVmStreamArchive(const std::string& fileName, std::uint32_t mode, TVmArchiveType type)
    : TVmArchive(fileName, mode), FType(type) {
  InstallHelpers();
}

TVmStreamArchive::TVmStreamArchive(core::TStream* stream, const std::string& archiveName, TVmArchiveType type)
    : TVmArchive(stream, archiveName), FType(type) {
  InstallHelpers();
}

TVmStreamArchive::~TVmStreamArchive() = default;

void TVmStreamArchive::InstallHelpers() {
  if (auto* file = dynamic_cast<core::THandleStream*>(FStream)) {
    FArchiveTime = platform::FileModificationTimeOf(file->Handle());
  }
  // ExtractAt and ExtractToStream reach one item through these: a pass of its own each.
  auto single = [this](TVmArchiveItem* item) {
    std::vector<bool> selected(Count(), false);
    for (std::size_t i = 0; i < Count(); ++i)
      if (Items(i) == item) selected[i] = true;
    return selected;
  };
  FExtractHelper = [this, single](void*, TVmArchiveItem* item, const std::string& newName) {
    RunPass(TPassKind::pkExtractOne, single(item), newName, nullptr);
  };
  FExtractToStreamHelper = [this, single](void*, TVmArchiveItem* item, core::TStream* stream) {
    if (!stream) throw EVmBadStream();
    RunPass(TPassKind::pkToStream, single(item), std::string(), stream);
  };
  FTestHelper = [this, single](void*, TVmArchiveItem* item) {
    RunPass(TPassKind::pkTestOne, single(item), std::string(), nullptr);
  };
}

std::string NameWithoutCompressionSuffix(const std::string& archiveName) {
  std::string name = archiveName.substr(archiveName.find_last_of(platform::kPathDelimiters) + 1);
  std::string upper = name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  auto endsWith = [&](const char* suffix) {
    std::size_t n = std::strlen(suffix);
    return upper.size() > n && upper.compare(upper.size() - n, n, suffix) == 0;
  };
  if (endsWith(".TGZ") || endsWith(".TBZ")) return name.substr(0, name.size() - 4) + ".tar";
  if (endsWith(".GZ")) return name.substr(0, name.size() - 3);
  if (endsWith(".BZ2")) return name.substr(0, name.size() - 4);
  return name.empty() ? std::string("data") : name + ".out";
}

std::string TVmStreamArchive::SingleName() const { return NameWithoutCompressionSuffix(FArchiveName); }

void TVmStreamArchive::CopySource(core::TStream& sink) {
  FStream->SetPosition(0);
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kCopyBlock]);
  for (;;) {
    std::size_t n = FStream->Read(buffer.get(), kCopyBlock);
    if (n == 0) break;
    sink.WriteBuffer(buffer.get(), n);
  }
}

namespace {

// Feeds tar the size bytes of a source that reads at any offset: blocks while the data is
// needed, small reads for headers, and a seek over the data nobody needs. Data the source
// does not hold is not passed over: the entry then ends short, as it would have had it
// been read.
template <class TReadAt>
void WalkTar(TVmTarParser& tar, std::uint64_t size, TReadAt readAt, const std::function<bool()>& needsData) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kReadBlock]);
  std::uint64_t at = 0;
  while (!tar.Ended()) {
    const bool need = needsData();
    if (!need) {
      const std::uint64_t skip = std::min(tar.Skippable(), size - std::min(at, size));
      if (skip > 0) {
        tar.Skip(skip);
        at += skip;
        continue;
      }
    }
    const std::size_t n = readAt(at, buffer.get(), need ? kReadBlock : kListBlock);
    if (n == 0) break;
    tar.WriteBuffer(buffer.get(), n);
    at += n;
  }
}

}  // namespace

void TVmStreamArchive::FeedTar(TVmTarParser& tar, const std::function<bool()>& needsData) {
  if (FCopy) {
    const TContentCopy& copy = *FCopy;
    WalkTar(
        tar, copy.Size(),
        [&copy](std::uint64_t at, void* buffer, std::size_t count) { return copy.ReadAt(at, buffer, count); },
        needsData);
  } else if (FType == TVmArchiveType::atTar) {
    std::uint64_t position = static_cast<std::uint64_t>(-1);
    WalkTar(
        tar, static_cast<std::uint64_t>(FStream->Size()),
        [this, &position](std::uint64_t at, void* buffer, std::size_t count) {
          if (at != position) FStream->SetPosition(static_cast<std::int64_t>(at));
          const std::size_t n = FStream->Read(buffer, count);
          position = at + n;
          return n;
        },
        needsData);
  } else {
    TContentGate gate(tar, ContentLimit(), [&tar] { return tar.Ended(); });
    try {
      Produce(gate);
    } catch (const TEnough&) {
    }
  }
}

void TVmStreamArchive::Replay(core::TStream& sink) {
  if (FCopy) {
    FCopy->CopyTo(sink);
    return;
  }
  // No more than opening found and checked.
  TContentGate gate(sink, Count() ? Items(0)->UncompressedSize() : 0, nullptr);
  Produce(gate);
}

std::uint64_t TVmStreamArchive::ContentLimit() const {
  std::uint64_t packed = 0;
  try {
    packed = static_cast<std::uint64_t>(FStream->Size());
  } catch (const core::Exception&) {
  }
  return packed > (~std::uint64_t{0} - kExpansionAllowance) / kMaxExpansion ? ~std::uint64_t{0}
                                                                              : packed * kMaxExpansion + kExpansionAllowance;
}

std::unique_ptr<TVmStreamArchive::TContentCopy> TVmStreamArchive::MakeCopy() const {
  // An explicit temporary folder is the only place; otherwise the system's, and the base
  // folder only when that has no room for a file.
  if (!FTempDirectory.empty()) return TContentCopy::Create(FTempDirectory);
  const char* system = std::getenv("TMPDIR");
  auto copy = TContentCopy::Create(system && *system ? system : "/tmp");
  return copy ? std::move(copy) : TContentCopy::Create(FBaseDirectory);
}

void TVmStreamArchive::ReadArchiveDirectory() {
  FCopy.reset();
  TLister lister(FItemList);
  TVmTarParser tar(lister);
  TCounter plain;
  std::unique_ptr<TContentCopy> copy;
  if (FType == TVmArchiveType::atTar) {
    // The file itself can be read again at no cost: nothing to keep.
    FeedTar(tar, [] { return false; });
    FHoldsTar = true;
  } else {
    const bool forceTar = FType == TVmArchiveType::atGzippedTar || FType == TVmArchiveType::atBzippedTar;
    TContentSniffer sniffer(tar, plain, forceTar);
    copy = MakeCopy();
    TTee tee(sniffer, copy.get(), sniffer, tar, DeclaredSize());
    TContentGate gate(tee, ContentLimit(), [&] { return sniffer.IsTar() && tar.Ended(); });
    try {
      Produce(gate);
    } catch (const TEnough&) {
    }
    sniffer.Finish();
    FHoldsTar = sniffer.IsTar();
  }
  if (FHoldsTar) {
    tar.Finish();
    // A tar with no header at all (a file of zeros) lists nothing, which is what it holds.
  } else {
    TVmTarEntry entry;
    entry.Name = SingleName();
    entry.Size = plain.FCount;
    entry.MTime = SingleTime();
    std::uint64_t packed = 0;
    try {
      packed = static_cast<std::uint64_t>(FStream->Size());
    } catch (const core::Exception&) {
    }
    FItemList.Add(std::make_unique<TVmStreamItem>(entry, packed, false));
  }
  if (copy && copy->Usable()) FCopy = std::move(copy);
  FIsDirty = false;
}

// One pass over the content for the selected items.
class TVmStreamArchive::TPass final : public TVmTarConsumer {
public:
  TPass(TVmStreamArchive& archive, TPassKind kind, const std::vector<bool>& selected, const std::string& newName,
        core::TStream* destination)
      : A(archive), FKind(kind), FSelected(selected), FNewName(newName), FDestination(destination),
        FStarted(selected.size(), false) {}

  void BeginEntry(const TVmTarEntry& entry) override {
    if (!Listed(entry)) return;
    FIndex = FNext++;
    if (FIndex >= FSelected.size() || !FSelected[FIndex]) return;
    FStarted[FIndex] = true;
    TVmStreamItem* item = A.StreamItems(FIndex);
    A.FCurrentItem = item;
    try {
      if (entry.Problem == TVmTarProblem::tpBadSparseMap) throw EVmSparseMap();
      if (entry.Problem == TVmTarProblem::tpSparseTooLarge) throw EVmSparseTooLarge();
      Open(item, entry);
    } catch (const EVmNoSuchDirectory&) {
      throw;
    } catch (const EVmUserAbort&) {
      throw;
    } catch (const std::exception& e) {
      Drop();
      Fail(item, e);
    }
  }

  void EntryData(const std::uint8_t* data, std::size_t count) override {
    if (!FTarget) return;
    try {
      FTarget->WriteBuffer(data, count);
    } catch (const std::exception& e) {
      Drop();
      Fail(A.StreamItems(FIndex), e);
    }
  }

  // A hole of a sparse file: skipped in a file, zeros into a stream, nothing for a test.
  void EntryHole(std::uint64_t count) override {
    if (!FTarget || FTarget == &FNull) return;
    try {
      if (FFile) {
        FFile->WriteHole(count);
        return;
      }
      static const std::uint8_t zeros[64 * 1024] = {};
      for (; count > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof zeros));
        FTarget->WriteBuffer(zeros, n);
        count -= n;
      }
    } catch (const std::exception& e) {
      Drop();
      Fail(A.StreamItems(FIndex), e);
    }
  }

  void EndEntry(bool complete) override {
    if (FIndex >= FSelected.size()) return;
    TVmStreamItem* item = A.StreamItems(FIndex);
    if (FTarget) {
      if (!complete) {
        Drop();
        core::EReadError shortData;
        Fail(item, shortData, std::make_exception_ptr(shortData));
      } else if (FFile) {
        try {
          FFile->Commit(item->ModificationTime());
        } catch (const std::exception& e) {
          Fail(item, e);
        }
      }
    }
    Drop();
    A.FCurrentItem = nullptr;
    if (FKind == TPassKind::pkExtract || FKind == TPassKind::pkTest) {
      std::size_t done = FIndex + 1, count = FSelected.size();
      A.DoArchiveProgress(static_cast<std::uint8_t>(done >= count ? 100 : done * 100 / count));
    }
    FIndex = static_cast<std::size_t>(-1);
  }

  // The content could not be decoded to its end: the entry being written and every
  // selected entry still to come fail with that reason.
  void StreamFailed(const std::exception& e) {
    if (FIndex < FSelected.size() && FTarget) {
      Drop();
      Fail(A.StreamItems(FIndex), e);
    }
    for (std::size_t i = FNext; i < FSelected.size(); ++i)
      if (FSelected[i] && !FStarted[i]) {
        FStarted[i] = true;
        Fail(A.StreamItems(i), e);
      }
    A.FCurrentItem = nullptr;
  }

  // The entry at hand has a destination for its data (a test only needs to know it is there).
  bool NeedsData() const noexcept { return FTarget && FTarget != &FNull; }

  // Entries the content no longer holds (it changed since it was listed).
  void Finish() {
    for (std::size_t i = 0; i < FSelected.size(); ++i)
      if (FSelected[i] && !FStarted[i]) {
        EVmReadError gone;
        Fail(A.StreamItems(i), gone, std::make_exception_ptr(gone));
      }
    if (FFailure) std::rethrow_exception(FFailure);
  }

private:
  void Open(TVmStreamItem* item, const TVmTarEntry& entry) {
    if (FKind == TPassKind::pkTest || FKind == TPassKind::pkTestOne) {
      FTarget = &FNull;
      return;
    }
    if (FKind == TPassKind::pkToStream) {
      FTarget = FDestination;
      return;
    }
    if (!item->IsFile() && !item->IsDirectory()) throw EVmNotCreated(item->FileName());
    std::string path = FNewName;
    if (FKind == TPassKind::pkExtract) {
      bool confirm = true;
      if (A.FOnConfirmProcessItem) A.FOnConfirmProcessItem(&A, item, TVmProcessType::ptExtract, confirm);
      if (!confirm || !A.ConfirmExtractPath(item, path)) return;
    }
    if (item->IsDirectory()) {
      TVmOutputFolders::FinishFolder(A.OutputFolders().Open(path, true), item->ModificationTime(),
                                     item->NativeFileAttributes());
      return;
    }
    const TVmFolder& folder = A.OutputFolders().Open(ExtractFileDir(path), A.ExtractOptions() & eoCreateDirs);
    // A sparse file is extracted only when its folder could hold it written out in full
    // (as it will be wherever holes are not kept, or once it is copied).
    if (entry.Sparse && entry.Size > TVmOutputFolders::FreeSpace(folder)) throw core::EInOutError(ENOSPC);
    FFile = std::make_unique<TVmOutputFile>(folder, ExtractFileName(path), path, item->NativeFileAttributes(),
                                            item->UnixMode(), A.SourceIdentity());
    FTarget = FFile.get();
  }

  void Drop() {
    if (FFile) FFile->Discard();
    FFile.reset();
    FTarget = nullptr;
  }

  // A pass for one item raises its failure afterwards (kept whole, so the caller can
  // classify it); the loops report each failure as it happens.
  void Fail(TVmStreamItem* item, const std::exception& e, std::exception_ptr failure = std::current_exception()) {
    if (FKind == TPassKind::pkExtractOne || FKind == TPassKind::pkToStream || FKind == TPassKind::pkTestOne) {
      if (!FFailure) FFailure = failure ? failure : std::make_exception_ptr(EVmReadError());
      return;
    }
    A.ReportItemFailure(item, TVmProcessType::ptExtract, e);
  }

  TVmStreamArchive& A;
  TPassKind FKind;
  const std::vector<bool>& FSelected;
  std::string FNewName;
  core::TStream* FDestination;
  std::vector<bool> FStarted;
  std::size_t FNext = 0;
  std::size_t FIndex = static_cast<std::size_t>(-1);
  core::TStream* FTarget = nullptr;
  std::unique_ptr<TVmOutputFile> FFile;
  core::TNullStream FNull;
  std::exception_ptr FFailure;
};

void TVmStreamArchive::RunPass(TPassKind kind, const std::vector<bool>& selected, const std::string& newName,
                               core::TStream* destination) {
  // Nothing selected: no need to decode anything.
  if (std::none_of(selected.begin(), selected.end(), [](bool b) { return b; })) return;
  TPass pass(*this, kind, selected, newName, destination);
  try {
    if (FHoldsTar) {
      TVmTarParser tar(pass);
      FeedTar(tar, [&pass] { return pass.NeedsData(); });
      tar.Finish();
    } else if (!selected.empty()) {
      TVmTarEntry entry;
      entry.Name = Items(0)->FileName();
      entry.Size = Items(0)->UncompressedSize();
      pass.BeginEntry(entry);
      TForward forward(pass);
      Replay(forward);
      pass.EndEntry(true);
    }
  } catch (const EVmUserAbort&) {
    FCurrentItem = nullptr;
    throw;
  } catch (const EVmNoSuchDirectory&) {
    FCurrentItem = nullptr;
    throw;
  } catch (const std::exception& e) {
    pass.StreamFailed(e);
  }
  pass.Finish();
}

void TVmStreamArchive::ExtractFilesEx(const std::string& fileMask, const std::string& exclusionMask) {
  RequireLoadedArchive();
  if (Count() == 0) return;
  std::vector<bool> selected(Count());
  for (std::size_t i = 0; i < Count(); ++i) {
    TVmArchiveItem* item = Items(i);
    bool isDirectory = item->IsDirectory();
    selected[i] = MatchesStoredNameEx(fileMask, item->FileName(), isDirectory) &&
                  !MatchesStoredNameEx(exclusionMask, item->FileName(), isDirectory) &&
                  (!isDirectory || (FExtractOptions & eoCreateDirs));
  }
  RunPass(TPassKind::pkExtract, selected, std::string(), nullptr);
  DoArchiveProgress(100);
}

void TVmStreamArchive::ExtractTaggedItems() {
  RequireLoadedArchive();
  std::vector<bool> selected(Count());
  for (std::size_t i = 0; i < Count(); ++i)
    selected[i] = Items(i)->Tagged() && (!Items(i)->IsDirectory() || (FExtractOptions & eoCreateDirs));
  RunPass(TPassKind::pkExtract, selected, std::string(), nullptr);
}

void TVmStreamArchive::TestTaggedItems() {
  RequireLoadedArchive();
  std::vector<bool> selected(Count());
  for (std::size_t i = 0; i < Count(); ++i) selected[i] = Items(i)->Tagged();
  RunPass(TPassKind::pkTest, selected, std::string(), nullptr);
}

void TVmBzip2Archive::Produce(core::TStream& sink) {
  // Parallel compressors (pbzip2, lbzip2) write one bzip2 stream per block, one after the
  // other: they are one content. Bytes after the last stream that start no other are ignored.
  // Each stream's blocks are decoded on the machine's idle cores.
  std::int64_t start = 0;
  for (;;) {
    FStream->SetPosition(start);
    std::uint8_t magic[3] = {};
    if (start > 0 && (FStream->Read(magic, 3) != 3 || std::memcmp(magic, "BZh", 3) != 0)) return;
    FStream->SetPosition(start);
    std::uint64_t used = kNoStreamEnd;
    DecodeBzip2Blocks(*FStream, sink, ~std::uint64_t{0}, 0, true, &used);
    if (used == kNoStreamEnd) throw core::EReadError();
    start += static_cast<std::int64_t>(used);
  }
}

}  // namespace tarvo::unzip
