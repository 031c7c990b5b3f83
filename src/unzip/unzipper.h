// TVmUnZipper: the non-visual extraction component. A caller sets BaseDirectory, opens an
// archive, extracts with a mask and closes it:
//
//   TVmUnZipper unzipper;
//   unzipper.SetBaseDirectory("/opt/tarvo");
//   unzipper.OpenArchive("/opt/tarvo/main.zip");  // EVmFileNotFound, EVmBadStream, EVmUnhandledType, ...
//   unzipper.ExtractFiles("*.*");                  // entry failures go to OnProcessItemFailure only
//   unzipper.CloseArchive();
//
// OnProcessItemFailure hears of every entry that was not written, with the item, the
// failure's class and code and its message: a CRC mismatch (code 19), a decoding error, an
// unsafe name or an entry overlapping another (codes 30, 32), a file that cannot be
// created (ecFileCreateError with the system's error), a failed write such as a full disk
// (ecInOutError, ENOSPC). A failed entry leaves no file of its own and the previous file at
// its name unchanged.
//
// Besides ZIP archives it opens tar archives and gzip and bzip2 files holding one file or a
// tar (TVmTarArchive, TVmGzipArchive, TVmBzip2Archive): the same calls, the same output
// path; their links, devices and FIFOs fail as entries (code 35), damaged gzip trailers
// are refused when opening ("Bad CRC", "Bad File Size"). Cabinet files are not opened.
//
// The chain TVmBaseBrowser → TVmCustomZipBrowser → TVmCustomUnZipper → TVmUnZipper adds,
// level by level, the archive and its events, the ZIP settings, and extraction. The
// component owns the archive it opens; property values survive archive changes and are
// copied into each new archive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/component.h"
#include "unzip/archive.h"
#include "unzip/archive_types.h"
#include "unzip/zip_archive.h"

namespace tarvo::unzip {

// Progress meter interface: reached only when one is assigned.
class IVmProgressMeter {
public:
  virtual ~IVmProgressMeter() = default;
  virtual void Reset() = 0;
  virtual void SetProgressValue(std::uint8_t percent) = 0;
};

// The archive components are components of the owner tree: a form that owns one frees it.
// They publish no text properties (nothing in them is for translation).
class TVmBaseComponent : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TVmBaseComponent)
public:
  explicit TVmBaseComponent(core::TComponent* owner = nullptr) : core::TComponent(owner) {}
};

class TVmBaseBrowser : public TVmBaseComponent {
  TARVO_PERSISTENT_CLASS(TVmBaseBrowser)
public:
  explicit TVmBaseBrowser(core::TComponent* owner = nullptr) : TVmBaseComponent(owner) {}
  ~TVmBaseBrowser() override;

  const std::string& FileName() const noexcept { return FFileName; }
  virtual void SetFileName(const std::string& fileName);
  // With an archive open the value goes through the archive's base-directory rule
  // (EVmNoSuchDirectory for a missing folder) and the normalised text is kept.
  void SetBaseDirectory(const std::string& directory);
  const std::string& BaseDirectory() const noexcept { return FBaseDirectory; }

  TVmArchiveType ArchiveType() const noexcept { return FArchiveType; }
  // Raises EVmArchiveBusy while an archive whose load failed is attached.
  void SetArchiveType(TVmArchiveType type);
  bool ForceType() const noexcept { return FForceType; }
  void SetForceType(bool force) noexcept { FForceType = force; }

  std::size_t Count() const noexcept { return FArchive ? FArchive->Count() : 0; }
  // EVmNoArchive without an archive. A ZIP archive makes its items from the directory on
  // demand: the pointer stays valid while the caller asks for items of at most one other
  // block of 256, and reading a directory changed since opening raises EVmReadError.
  TVmArchiveItem* Items(std::size_t index) const;
  TVmArchiveStatus Status() const noexcept { return FArchive ? FArchive->Status() : TVmArchiveStatus::asInvalid; }
  core::TStream* Stream() const noexcept { return FArchive ? FArchive->Stream() : nullptr; }
  TVmArchive* Archive() const noexcept { return FArchive.get(); }

  std::string FTempDirectory;
  std::string FLogFile;
  bool FLogging = false;
  std::int64_t FSpanningThreshold = 0;
  IVmProgressMeter* FArchiveProgressMeter = nullptr;
  IVmProgressMeter* FItemProgressMeter = nullptr;

  TVmArchiveProgressEvent OnArchiveProgress;
  TVmArchiveItemProgressEvent OnArchiveItemProgress;
  TVmArchiveEvent OnChange;
  TVmArchiveItemConfirmEvent OnConfirmProcessItem;
  TVmArchiveEvent OnLoad;
  TVmArchiveItemFailureEvent OnProcessItemFailure;
  TVmRequestImageEvent OnRequestImage;

protected:
  // The archive object for a type (EVmUnhandledType for kinds this build cannot open).
  virtual std::unique_ptr<TVmArchive> CreateArchive(TVmArchiveType type);
  virtual void BindArchive(TVmArchive& archive);
  void CloseCurrentArchive();
  void RequireArchive() const;

  std::unique_ptr<TVmArchive> FArchive;
  std::string FFileName;
  std::string FBaseDirectory;
  TVmArchiveType FArchiveType = TVmArchiveType::atUnknown;
  bool FForceType = false;
};

class TVmCustomZipBrowser : public TVmBaseBrowser {
  TARVO_PERSISTENT_CLASS(TVmCustomZipBrowser)
public:
  explicit TVmCustomZipBrowser(core::TComponent* owner = nullptr) : TVmBaseBrowser(owner) {}
  TVmZipArchive* ZipArchive() const noexcept { return dynamic_cast<TVmZipArchive*>(FArchive.get()); }
  // The raw bytes of the archive comment ("" without a ZIP archive).
  std::string ZipfileComment() const;

  std::string FPassword;  // 8-bit
  bool FTarAutoHandle = false;
  TVmRequestDiskEvent OnRequestLastDisk;
  TVmRequestDiskEvent OnRequestNthDisk;
  TVmRequestDiskEvent OnRequestBlankDisk;

protected:
  void BindArchive(TVmArchive& archive) override;
};

class TVmCustomUnZipper : public TVmCustomZipBrowser {
  TARVO_PERSISTENT_CLASS(TVmCustomUnZipper)
public:
  explicit TVmCustomUnZipper(core::TComponent* owner = nullptr) : TVmCustomZipBrowser(owner) {}
  // A missing file raises EVmFileNotFound, an empty one EVmBadStream; then the archive is
  // chosen, bound and loaded (its load errors pass on, the archive stays attached).
  void SetFileName(const std::string& fileName) override;
  void OpenArchive(const std::string& fileName) { SetFileName(fileName); }
  // Opens the ZIP archive held by stream, which the caller keeps owning and open until
  // CloseArchive: a file checked as it arrived is read through the same handle, never again
  // by a name someone else could swap. name is for messages. An empty stream raises
  // EVmBadStream, content that is no ZIP archive EVmUnhandledType.
  void OpenArchive(core::TStream& stream, const std::string& name);
  void CloseArchive();

  // Raise EVmNoArchive without a (loaded) archive; then forward to the archive.
  void ExtractFiles(const std::string& fileMask);
  void ExtractFilesEx(const std::string& fileMask, const std::string& exclusionMask);
  void ExtractAt(std::size_t index, const std::string& newName = std::string());
  void ExtractToStream(const std::string& fileName, core::TStream* toStream);
  void ExtractTaggedItems();
  void TestTaggedItems();

  TVmExtractOptions ExtractOptions() const noexcept { return FExtractOptions; }
  void SetExtractOptions(TVmExtractOptions options);
  const std::string& Password() const noexcept { return FPassword; }
  void SetPassword(const std::string& password);

  TVmExtractOptions FExtractOptions = kDefaultExtractOptions;
  std::uint8_t FPasswordRetries = 3;
  TVmConfirmOverwriteEvent OnConfirmOverwrite;
  TVmNeedPasswordEvent OnNeedPassword;

protected:
  void BindArchive(TVmArchive& archive) override;

private:
  // The archive asks for overwrite confirmation (and so looks for an existing file at each
  // output name) only while OnConfirmOverwrite is bound: unbound, the answer is always yes.
  void PassOverwriteConfirmation();
};

class TVmUnZipper : public TVmCustomUnZipper {
  TARVO_PERSISTENT_CLASS(TVmUnZipper)
public:
  explicit TVmUnZipper(core::TComponent* owner = nullptr) : TVmCustomUnZipper(owner) {}
  std::string Version() const { return "5.0"; }
  void SetVersion(const std::string&) {}
};

}  // namespace tarvo::unzip
