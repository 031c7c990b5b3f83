#include "setup/installer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/file_stream.h"
#include "core/format.h"
#include "core/port_text.h"
#include "core/text_trim.h"
#include "i18n/translations.h"
#include "platform/drives.h"
#include "platform/desktop_folder.h"
#include "platform/private_profile.h"
#include "platform/replacing_file.h"
#include "platform/shell_link.h"
#include "unzip/unzipper.h"

#ifndef TARVO_DEFAULT_DOWNLOAD_BASE
#define TARVO_DEFAULT_DOWNLOAD_BASE "http://downloads.tarvo.invalid/tarvo/Files/"
#endif

namespace tarvo::setup {

using i18n::_;

// Raised from inside a progress notification when the cancel query says stop.
class TInstaller::ECancelled : public core::Exception {
public:
  ECancelled() : core::Exception("cancelled") {}
};

namespace {

// Download and unpacking share one progress sweep per archive.
constexpr int kDownloadShare = 80;

// A folder with the system's separator at its end (a given one of either kind stays).
std::string WithSlash(std::string path) {
  if (path.empty() || (path.back() != '/' && path.back() != platform::kPathDelimiter)) path += platform::kPathDelimiter;
  return path;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of(std::string{'/', platform::kPathDelimiter});
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// A folder and its missing parents; failures surface later, when a file in it cannot be
// created.
void ForceDirectories(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
}

bool SameTextASCII(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// True when the folder holds the data file; data copied from a Windows machine may carry
// the name in another case, which that system did not tell apart.
bool HoldsDataFile(const std::string& folder) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(folder + kDataFile, ec)) return true;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec))
    if (SameTextASCII(it->path().filename().string(), kDataFile) && it->is_regular_file(ec)) return true;
  return false;
}

}  // namespace

std::string DownloadBaseAddress() {
  const char* env = std::getenv("TARVO_DOWNLOAD_BASE");
  std::string base = env != nullptr && *env != '\0' ? std::string(env) : std::string(TARVO_DEFAULT_DOWNLOAD_BASE);
  if (base.back() != '/') base += '/';  // an address, not a folder
  return base;
}

int ParseProxyPort(const std::string& text) { return core::ParsePort(core::TrimBlanks(text)).value_or(0); }

TInstaller::TInstaller() : FHTTP(std::make_unique<http::TNetHTTP>()) {
  FHTTP->SetConnectTimeout(kConnectTimeoutMS);
  FHTTP->SetReadTimeout(kReadTimeoutMS);
  FHTTP->OnWorkBegin = [this](net::TNetComponent*, net::TWorkMode mode, std::int64_t total) {
    if (mode != net::wmRead) return;
    // An error reply's body is read too; it must not move the bar.
    FCountingBody = FHTTP->ResponseCode() == 200;
    FBodyTotal = total;
    PollCancel();
  };
  FHTTP->OnStatus = [this](net::TNetComponent*, net::TNetStatus, const std::string& text) {
    if (OnStatus) OnStatus(text);
  };
  FHTTP->OnWork = [this](net::TNetComponent*, net::TWorkMode mode, std::int64_t done) {
    if (mode != net::wmRead) return;
    if (FCountingBody && FBodyTotal > 0 && done >= 0)
      Report(static_cast<int>(std::min(done, FBodyTotal) * kDownloadShare / FBodyTotal));
    PollCancel();
  };
}

TInstaller::~TInstaller() = default;

std::string TInstaller::InstallFolder() const { return WithSlash(Options.DriveRoot) + "TARVO" + platform::kPathDelimiter; }

std::string TInstaller::DataFolder() const { return WithSlash(Options.DataFolder); }

void TInstaller::Report(int percent) {
  if (percent <= FPercent) return;
  FPercent = percent;
  if (OnProgress) OnProgress(percent);
}

std::string TInstaller::CancelQuestion() { return _("De installatie is niet voltooid.") + "\r" + _("Bent u zeker ?"); }

bool TInstaller::CancelConfirmed() {
  return OnCancelQuery && OnCancelQuery() && (!OnConfirm || OnConfirm(CancelQuestion()));
}

void TInstaller::PollCancel() {
  if (CancelConfirmed()) throw ECancelled();
}

void TInstaller::ApplyProxy() {
  int port = ParseProxyPort(Options.ProxyPort);
  if (!Options.ProxyServer.empty() && port == 0)
    throw EInstallError(core::Format(_("Ongeldige poort \"%s\" voor de proxyserver: geef een getal van 1 tot 65535 op."),
                                     {Options.ProxyPort}));
  FHTTP->ProxyParams().SetProxyServer(Options.ProxyServer);
  FHTTP->ProxyParams().SetProxyPort(port);
}

void TInstaller::DownloadFile(const std::string& archive, const std::string& fileName) {
  FPercent = 0;
  FCountingBody = false;
  if (OnArchiveBegin) OnArchiveBegin(archive);
  if (OnProgress) OnProgress(0);
  platform::TReplacingFile temp(fileName);
  // A fresh connection per archive: a proxy or server may close an idle kept-alive
  // connection without saying so, and the archives are few and large.
  FHTTP->Disconnect();
  FHTTP->Get(DownloadBaseAddress() + archive, temp);
  FCountingBody = false;
  if (FHTTP->ResponseCode() != 200)
    throw EInstallError(_("HTTP Error:") +
                        core::Format("%d: %s", {std::to_string(FHTTP->ResponseCode()), FHTTP->ResponseText()}));
  try {
    temp.Commit();
  } catch (const core::EInOutError& e) {
    throw core::EFCreateError(fileName, e.ErrorCode());
  }
}

void TInstaller::UnpackArchive(const std::string& fileName) {
  // The archive is read under a name of its own, so that an entry with the archive's name
  // neither overwrites it while it is read nor is deleted with it afterwards. It goes in
  // every case, also when it cannot be opened.
  // (The extension stays last: the reader goes by it first.)
  std::string reading = fileName + ".XXXXXX.zip";
  int fd = ::mkstemps(reading.data(), 4);
  if (fd < 0) throw core::EFOpenError(fileName, errno);
  ::close(fd);
  if (::rename(fileName.c_str(), reading.c_str()) != 0) {
    int error = errno;
    ::unlink(reading.c_str());
    throw core::EFOpenError(fileName, error);
  }
  struct TRemove {
    std::string Name;
    ~TRemove() { ::unlink(Name.c_str()); }
  } remove{reading};

  std::optional<std::pair<std::string, std::string>> firstFailure;
  bool cancelled = false;
  unzip::TVmUnZipper unzipper;
  unzipper.OnProcessItemFailure = [&](void*, unzip::TVmArchiveItem* item, unzip::TVmProcessType, unzip::TVmErrorClass,
                                      int, const std::string& message) {
    if (!firstFailure) firstFailure.emplace(item != nullptr ? item->FileName() : std::string(), message);
  };
  unzipper.OnArchiveProgress = [&](void*, std::uint8_t percent, bool& abort) {
    Report(kDownloadShare + percent * (100 - kDownloadShare) / 100);
    if (CancelConfirmed()) abort = cancelled = true;
  };
  unzipper.SetBaseDirectory(FolderOf(fileName));
  try {
    unzipper.OpenArchive(reading);
    unzipper.ExtractFiles("*.*");
  } catch (...) {
    if (cancelled) throw ECancelled();
    throw;
  }
  unzipper.CloseArchive();
  if (cancelled) throw ECancelled();
  if (firstFailure)
    throw EInstallError(
        core::Format(_("Kan \"%s\" niet uitpakken: %s"), {firstFailure->first, firstFailure->second}));
  Report(100);
}

template <class F>
TStepResult TInstaller::Guarded(F&& stretch) {
  try {
    stretch();
    return TStepResult::srCompleted;
  } catch (const ECancelled&) {
    return TStepResult::srCancelled;
  } catch (const std::exception& e) {
    if (OnAbort) OnAbort(e.what());
    return TStepResult::srAborted;
  }
}

TStepResult TInstaller::RunComponentStep() {
  const std::string install = InstallFolder();
  Options.DataFolder = DefaultDataFolder();
  return Guarded([&] {
    if (Options.ProxyUse) ApplyProxy();
    ForceDirectories(install);
    for (const char* archive : {"main.zip", "upgrade.zip"}) {
      DownloadFile(archive, install + archive);
      UnpackArchive(install + archive);
    }
  });
}

TStepResult TInstaller::RunDataStep() {
  const std::string data = DataFolder();
  TStepResult result = TStepResult::srCompleted;
  if (Options.DataChoice == TDataChoice::dcServer) {
    result = Guarded([&] {
      if (Options.ProxyUse) ApplyProxy();
      ForceDirectories(data);
      ForceDirectories(data + "FOTO");
      DownloadFile("data.zip", data + "data.zip");
      UnpackArchive(data + "data.zip");
    });
    if (result == TStepResult::srCancelled) return result;
  } else if (!HoldsDataFile(data)) {
    if (OnErrorBox) OnErrorBox(_("De opgegeven locatie bevat geen geldige gegevens."));
    return TStepResult::srRejected;
  }
  WriteSetupIni();
  if (OnFinishToFront) OnFinishToFront();
  WriteShortcut();
  return result;
}

void TInstaller::WriteSetupIni() {
  const std::string file = InstallFolder() + kSetupIni;
  if (!platform::WritePrivateProfileString("SETUP", "TAAL", Options.Dutch ? "NLB" : "FRB", file) ||
      !platform::WritePrivateProfileString("SETUP", "DATA_DIRECTORY", DataFolder(), file))
    throw core::Exception(core::Format(_("Unable to write to %s"), {file}));
}

void TInstaller::WriteShortcut() {
  std::string desktop = platform::DesktopFolder();
  if (desktop.empty()) return;  // no desktop, no shortcut
  platform::TShellLink link;
  link.SetDescription("TArvo");
  link.SetProgramFile(InstallFolder() + "TARVO.EXE");
  link.SetLinkFile(desktop + kShortcutName);
  link.Write();  // a shortcut that cannot be saved is not worth failing the installation for
}

}  // namespace tarvo::setup
