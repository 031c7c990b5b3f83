#include "unzip/unzipper.h"

#include "core/file_stream.h"
#include "platform/file_system.h"
#include "unzip/archive_probe.h"
#include "unzip/gzip_archive.h"
#include "unzip/stream_archive.h"
#include "unzip/entry_decoder.h"
#include "unzip/extract_path.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

#define TARVO_VM_CLASS_INFO(cls, parent)                                  \
  const core::TClassInfo& cls::StaticClassInfo() noexcept {              \
    static const core::TClassInfo info{#cls, &core::ClassInfoOf<parent>(), {}}; \
    return info;                                                          \
  }

TARVO_VM_CLASS_INFO(TVmBaseComponent, core::TComponent)
TARVO_VM_CLASS_INFO(TVmBaseBrowser, TVmBaseComponent)
TARVO_VM_CLASS_INFO(TVmCustomZipBrowser, TVmBaseBrowser)
TARVO_VM_CLASS_INFO(TVmCustomUnZipper, TVmCustomZipBrowser)
TARVO_VM_CLASS_INFO(TVmUnZipper, TVmCustomUnZipper)

#undef TARVO_VM_CLASS_INFO

TVmBaseBrowser::~TVmBaseBrowser() = default;

TVmArchiveItem* TVmBaseBrowser::Items(std::size_t index) const {
  RequireArchive();
  return FArchive->Items(index);
}

void TVmBaseBrowser::RequireArchive() const {
  if (!FArchive) throw EVmNoArchive();
}

void TVmBaseBrowser::SetBaseDirectory(const std::string& directory) {
  if (!FArchive) {
    FBaseDirectory = directory;
    return;
  }
  FArchive->SetBaseDirectory(directory);
  FBaseDirectory = FArchive->BaseDirectory();
}

void TVmBaseBrowser::SetArchiveType(TVmArchiveType type) {
  if (FArchive && FArchive->Status() == TVmArchiveStatus::asInvalid) throw EVmArchiveBusy();
  FArchiveType = type;
}

void TVmBaseBrowser::CloseCurrentArchive() {
  if (!FArchive) return;
  try {
    FArchive->Save();
  } catch (...) {
  }
  FArchive.reset();
}

std::unique_ptr<TVmArchive> TVmBaseBrowser::CreateArchive(TVmArchiveType type) {
  switch (type) {
    case TVmArchiveType::atZip:
    case TVmArchiveType::atSpannedZip:
    case TVmArchiveType::atSelfExtZip:
      return std::make_unique<TVmZipArchive>(FFileName, core::fmOpenRead | core::fmShareDenyNone);
    case TVmArchiveType::atTar:
      return std::make_unique<TVmTarArchive>(FFileName, core::fmOpenRead | core::fmShareDenyNone);
    case TVmArchiveType::atGzip:
    case TVmArchiveType::atGzippedTar:
      return std::make_unique<TVmGzipArchive>(FFileName, core::fmOpenRead | core::fmShareDenyNone, type);
    case TVmArchiveType::atBzip2:
    case TVmArchiveType::atBzippedTar:
      return std::make_unique<TVmBzip2Archive>(FFileName, core::fmOpenRead | core::fmShareDenyNone, type);
    default:
      // Cabinet files and unknown content are never opened.
      throw EVmUnhandledType();
  }
}

void TVmBaseBrowser::SetFileName(const std::string& fileName) {
  FFileName = fileName;
  CloseCurrentArchive();
  if (platform::PathExists(fileName)) {
    TVmArchiveType type = FForceType ? FArchiveType : GuessArchiveKind(fileName);
    FArchive = CreateArchive(type);
    BindArchive(*FArchive);
    FArchive->Load();
    FArchiveType = type;
  }
  if (OnChange) OnChange(this);
}

void TVmBaseBrowser::BindArchive(TVmArchive& archive) {
  if (FArchiveProgressMeter) FArchiveProgressMeter->Reset();
  if (FItemProgressMeter) FItemProgressMeter->Reset();
  archive.FSpanningThreshold = FSpanningThreshold;
  archive.FLogFile = FLogFile;
  archive.FLogging = FLogging;
  archive.FTempDirectory = FTempDirectory;
  archive.SetBaseDirectory(FBaseDirectory);
  FBaseDirectory = archive.BaseDirectory();

  // The component's own handlers: always installed, each forwarding to the user's event
  // only when one is bound (and to the progress meters when assigned).
  archive.FOnArchiveProgress = [this](void*, std::uint8_t percent, bool& abort) {
    if (FArchiveProgressMeter) FArchiveProgressMeter->SetProgressValue(percent);
    if (OnArchiveProgress) OnArchiveProgress(this, percent, abort);
  };
  archive.FOnArchiveItemProgress = [this](void*, TVmArchiveItem* item, std::uint8_t percent, bool& abort) {
    if (FItemProgressMeter) FItemProgressMeter->SetProgressValue(percent);
    if (OnArchiveItemProgress) OnArchiveItemProgress(this, item, percent, abort);
  };
  archive.FOnConfirmProcessItem = [this](void*, TVmArchiveItem* item, TVmProcessType type, bool& confirm) {
    if (OnConfirmProcessItem) OnConfirmProcessItem(this, item, type, confirm);
  };
  archive.FOnLoad = [this](void*) {
    if (OnLoad) OnLoad(this);
  };
  archive.FOnProcessItemFailure = [this](void*, TVmArchiveItem* item, TVmProcessType type, TVmErrorClass errorClass,
                                         int errorCode, const std::string& message) {
    if (OnProcessItemFailure) OnProcessItemFailure(this, item, type, errorClass, errorCode, message);
  };
  archive.FOnRequestImage = OnRequestImage;
}

std::string TVmCustomZipBrowser::ZipfileComment() const {
  TVmZipArchive* zip = ZipArchive();
  return zip ? zip->Info().FZipfileComment : std::string();
}

void TVmCustomZipBrowser::BindArchive(TVmArchive& archive) {
  TVmBaseBrowser::BindArchive(archive);
  if (auto* zip = dynamic_cast<TVmZipArchive*>(&archive)) {
    zip->FPassword = FPassword;
    zip->FOnRequestLastDisk = OnRequestLastDisk;
    zip->FOnRequestNthDisk = OnRequestNthDisk;
  }
}

void TVmCustomUnZipper::SetFileName(const std::string& fileName) {
  if (!fileName.empty()) {
    if (!platform::PathExists(fileName)) throw EVmFileNotFound();
    if (platform::FileSizeOf(fileName) == 0) throw EVmBadStream();
  }
  TVmCustomZipBrowser::SetFileName(fileName);
}

void TVmCustomUnZipper::OpenArchive(core::TStream& stream, const std::string& name) {
  CloseCurrentArchive();
  FFileName.clear();
  if (stream.Size() == 0) throw EVmBadStream();
  stream.SetPosition(0);
  if (ProbeZip(stream) != TVmArchiveType::atZip) throw EVmUnhandledType();
  FArchive = std::make_unique<TVmZipArchive>(&stream, name);
  BindArchive(*FArchive);
  FArchive->Load();
  FArchiveType = TVmArchiveType::atZip;
  FFileName = name;
  if (OnChange) OnChange(this);
}

void TVmCustomUnZipper::CloseArchive() {
  if (!FFileName.empty()) SetFileName(std::string());
}

void TVmCustomUnZipper::SetExtractOptions(TVmExtractOptions options) {
  FExtractOptions = options;
  if (FArchive) FArchive->SetExtractOptions(options);
}

void TVmCustomUnZipper::SetPassword(const std::string& password) {
  FPassword = password;
  if (TVmZipArchive* zip = ZipArchive()) zip->FPassword = password;
}

void TVmCustomUnZipper::BindArchive(TVmArchive& archive) {
  TVmCustomZipBrowser::BindArchive(archive);
  archive.SetExtractOptions(FExtractOptions);
  // Archives of the other kinds bring their own extraction (see TVmStreamArchive).
  auto* zip = dynamic_cast<TVmZipArchive*>(&archive);
  if (!zip) return;
  zip->FPasswordRetries = FPasswordRetries;
  zip->FOnNeedPassword = [this](void*, std::string& password) {
    if (OnNeedPassword) OnNeedPassword(this, password);
  };
  zip->FExtractHelper = [zip](void*, TVmArchiveItem* item, const std::string& newName) {
    ExtractEntryToFile(*zip, *static_cast<TVmZipItem*>(item), newName);
  };
  zip->FExtractToStreamHelper = [zip](void*, TVmArchiveItem* item, core::TStream* stream) {
    ExtractEntryToStream(*zip, *static_cast<TVmZipItem*>(item), stream);
  };
  zip->FTestHelper = [zip](void*, TVmArchiveItem* item) { TestEntry(*zip, *static_cast<TVmZipItem*>(item)); };
}

void TVmCustomUnZipper::PassOverwriteConfirmation() {
  if (!OnConfirmOverwrite)
    FArchive->FOnConfirmOverwrite = nullptr;
  else if (!FArchive->FOnConfirmOverwrite)
    FArchive->FOnConfirmOverwrite = [this](std::string& name, bool& confirm) {
      if (OnConfirmOverwrite) OnConfirmOverwrite(name, confirm);
    };
}

void TVmCustomUnZipper::ExtractFiles(const std::string& fileMask) {
  RequireArchive();
  PassOverwriteConfirmation();
  FArchive->ExtractFilesEx(fileMask, std::string());
}

void TVmCustomUnZipper::ExtractFilesEx(const std::string& fileMask, const std::string& exclusionMask) {
  RequireArchive();
  PassOverwriteConfirmation();
  FArchive->ExtractFilesEx(fileMask, exclusionMask);
}

void TVmCustomUnZipper::ExtractAt(std::size_t index, const std::string& newName) {
  RequireArchive();
  PassOverwriteConfirmation();
  FArchive->ExtractAt(index, newName);
}

void TVmCustomUnZipper::ExtractToStream(const std::string& fileName, core::TStream* toStream) {
  RequireArchive();
  FArchive->ExtractToStream(fileName, toStream);
}

void TVmCustomUnZipper::ExtractTaggedItems() {
  RequireArchive();
  PassOverwriteConfirmation();
  FArchive->ExtractTaggedItems();
}

void TVmCustomUnZipper::TestTaggedItems() {
  RequireArchive();
  FArchive->TestTaggedItems();
}

}  // namespace tarvo::unzip
