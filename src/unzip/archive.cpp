#include "unzip/archive.h"

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/scope_guard.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "unzip/extract_path.h"
#include "unzip/mask_match.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

void ClassifyFailure(const std::exception& failure, TVmErrorClass& errorClass, int& errorCode) {
  errorCode = 0;
  if (auto* vm = dynamic_cast<const EVmException*>(&failure)) {
    errorClass = TVmErrorClass::ecVellmora;
    errorCode = vm->ErrorCode();
  } else if (auto* io = dynamic_cast<const core::EInOutError*>(&failure)) {
    errorClass = TVmErrorClass::ecInOutError;
    errorCode = io->ErrorCode();
  } else if (auto* create = dynamic_cast<const core::EFCreateError*>(&failure)) {
    errorClass = TVmErrorClass::ecFileCreateError;
    errorCode = create->ErrorCode();
  } else if (auto* open = dynamic_cast<const core::EFOpenError*>(&failure)) {
    errorClass = TVmErrorClass::ecFileOpenError;
    errorCode = open->ErrorCode();
  } else if (dynamic_cast<const core::EReadError*>(&failure) || dynamic_cast<const core::EWriteError*>(&failure)) {
    errorClass = TVmErrorClass::ecFilerError;  // stream read and write errors are filer errors
  } else {
    errorClass = TVmErrorClass::ecOther;
  }
}

TVmArchive::TVmArchive(const std::string& fileName, std::uint32_t mode)
    : FOwnsStream(true), FArchiveName(fileName), FMode(mode) {
  FBaseDirectory = platform::ProgramFolder();
  FOwnedStream = std::make_unique<core::TFileStream>(fileName, mode);
  FStream = FOwnedStream.get();
  FOutputFolders.Reset(FBaseDirectory);
  NoteSourceIdentity();
}

TVmArchive::TVmArchive(core::TStream* stream, const std::string& archiveName)
    : FStream(stream), FOwnsStream(false), FArchiveName(archiveName) {
  FBaseDirectory = platform::ProgramFolder();
  FOutputFolders.Reset(FBaseDirectory);
  NoteSourceIdentity();
}

void TVmArchive::NoteSourceIdentity() {
  if (auto* file = dynamic_cast<core::THandleStream*>(FStream)) FSourceIdentity = platform::FileIdentityOf(file->Handle());
}

TVmArchive::~TVmArchive() = default;

void TVmArchive::Load() {
  // The load event fires whether or not the directory could be read.
  core::TScopeGuard loaded([this] {
    if (FOnLoad) FOnLoad(this);
  });
  ReadArchiveDirectory();
  FStatus = TVmArchiveStatus::asIdle;
  loaded.Run();
}

void TVmArchive::SetBaseDirectory(const std::string& directory) {
  FBaseDirectory = NormalizeBaseDirectory(directory);
  FOutputFolders.Reset(FBaseDirectory);
}

void TVmArchive::RequireLoadedArchive() const {
  if (FStatus == TVmArchiveStatus::asInvalid) throw EVmNoArchive();
}

void TVmArchive::TagAll(bool tagged) {
  for (std::size_t i = 0; i < Count(); ++i) Items(i)->SetTagged(tagged);
}

void TVmArchive::DoArchiveProgress(std::uint8_t percent) {
  if (!FOnArchiveProgress) return;
  bool abort = false;
  FOnArchiveProgress(this, percent, abort);
  if (abort) throw EVmUserAbort();
}

bool TVmArchive::DoItemProgress(TVmArchiveItem* item, std::uint8_t percent) {
  if (!FOnArchiveItemProgress) return false;
  bool abort = false;
  FOnArchiveItemProgress(this, item, percent, abort);
  return abort;
}

void TVmArchive::ReportItemFailure(TVmArchiveItem* item, TVmProcessType processType, TVmErrorClass errorClass,
                                   int errorCode, const std::string& message) {
  if (FOnProcessItemFailure) FOnProcessItemFailure(this, item, processType, errorClass, errorCode, message);
}

void TVmArchive::ReportItemFailure(TVmArchiveItem* item, TVmProcessType processType, const std::exception& failure) {
  TVmErrorClass errorClass;
  int errorCode;
  ClassifyFailure(failure, errorClass, errorCode);
  ReportItemFailure(item, processType, errorClass, errorCode, failure.what());
}

void TVmArchive::ExtractFilesEx(const std::string& fileMask, const std::string& exclusionMask) {
  RequireLoadedArchive();
  std::size_t count = Count();
  if (count == 0) return;
  for (std::size_t i = 0; i < count; ++i) {
    TVmArchiveItem* item = Items(i);
    bool isDirectory = item->IsDirectory();
    if (MatchesStoredNameEx(fileMask, item->FileName(), isDirectory) &&
        !MatchesStoredNameEx(exclusionMask, item->FileName(), isDirectory) &&
        (!isDirectory || (FExtractOptions & eoCreateDirs)))
      ExtractAt(i);
    std::size_t done = i + 1;
    DoArchiveProgress(static_cast<std::uint8_t>(done >= count ? 100 : done * 100 / count));
  }
  DoArchiveProgress(100);
}

bool TVmArchive::ConfirmExtractPath(TVmArchiveItem* item, std::string& newName) {
  bool isDirectory = item->IsDirectory();
  if (isDirectory && !((FExtractOptions & eoCreateDirs) && (FExtractOptions & eoRestorePath))) return false;

  std::string path = newName.empty()
                         ? BuildEntryPath(FBaseDirectory, item->FileName(), isDirectory, FExtractOptions & eoRestorePath)
                         : ClassifyPath(FBaseDirectory, newName);

  // Opening the folder creates what is missing (with eoCreateDirs) and refuses links.
  const TVmFolder& folder = FOutputFolders.Open(ExtractFileDir(path), FExtractOptions & eoCreateDirs);
  if (!isDirectory) CheckCaseCollision(path);
  if (!isDirectory && FOnConfirmOverwrite) {
    // Without a handler the answer is yes: the existence test is only needed to ask.
    if (TVmOutputFolders::HoldsNonFolder(folder, ExtractFileName(path))) {
      bool confirm = true;
      FOnConfirmOverwrite(path, confirm);
      if (!confirm) return false;
    }
  }
  newName = path;
  return true;
}

void TVmArchive::CheckCaseCollision(const std::string& path) {
  if (!platform::FileNamesIgnoreCase()) return;
  // Two entries whose names differ only in case would land on one file: the later one
  // would silently replace the earlier. The same name twice is a plain replacement.
  auto [at, added] = FCaseKeys.emplace(platform::FoldFileNameCase(path), path);
  if (!added && at->second != path) throw EVmUnsafePath();
}

void TVmArchive::ExtractItemByIndex(std::size_t index, const std::string& newName) {
  if (!FExtractHelper) throw EVmZipNoExtraction();
  FExtractHelper(this, Items(index), newName);
}

void TVmArchive::ExtractAt(std::size_t index, const std::string& newName) {
  RequireLoadedArchive();
  TVmArchiveItem* item = Items(index);
  if (item->Action() != TVmArchiveAction::aaNone) Save();

  bool confirm = true;
  if (FOnConfirmProcessItem) FOnConfirmProcessItem(this, item, TVmProcessType::ptExtract, confirm);
  if (!confirm) return;

  std::string path = newName;
  try {
    if (!ConfirmExtractPath(item, path)) return;
  } catch (const EVmUnsafePath& e) {
    // Linux build: a name that would leave the base directory is that entry's failure.
    ReportItemFailure(item, TVmProcessType::ptExtract, e);
    return;
  }

  FCurrentItem = item;
  try {
    ExtractItemByIndex(index, path);
  } catch (const std::exception& e) {
    ReportItemFailure(item, TVmProcessType::ptExtract, e);
  }
  FCurrentItem = nullptr;
}

void TVmArchive::ExtractToStream(const std::string& fileName, core::TStream* toStream) {
  RequireLoadedArchive();
  long index = FItemList.IndexOf(fileName);
  if (index < 0) throw EVmFileNotFound();
  if (!FExtractToStreamHelper) throw EVmZipNoExtraction();
  FCurrentItem = Items(static_cast<std::size_t>(index));
  core::TScopeGuard current([this]() noexcept { FCurrentItem = nullptr; });
  FExtractToStreamHelper(this, FCurrentItem, toStream);
}

void TVmArchive::ExtractTaggedItems() {
  RequireLoadedArchive();
  for (std::size_t i = 0; i < Count(); ++i) {
    TVmArchiveItem* item = Items(i);
    if (!item->Tagged()) continue;
    if (!item->IsDirectory() || (FExtractOptions & eoCreateDirs)) ExtractAt(i);
  }
}

void TVmArchive::TestTaggedItems() {
  RequireLoadedArchive();
  if (!FTestHelper) throw EVmZipNoExtraction();
  std::size_t count = Count();
  for (std::size_t i = 0; i < count; ++i) {
    TVmArchiveItem* item = Items(i);
    if (!item->Tagged()) continue;
    FCurrentItem = item;
    try {
      FTestHelper(this, item);
    } catch (const std::exception& e) {
      ReportItemFailure(item, TVmProcessType::ptExtract, e);
    }
    FCurrentItem = nullptr;
    std::size_t done = i + 1;
    DoArchiveProgress(static_cast<std::uint8_t>(done >= count ? 100 : done * 100 / count));
  }
}

}  // namespace tarvo::unzip
