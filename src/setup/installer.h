// TInstaller: the two installation steps of the wizard without the window. The window and
// the silent mode both drive it: they fill Options, bind the seams, and run the component
// step (main.zip and upgrade.zip into the install folder) and then the data step (data.zip
// or an existing data folder, SETUP.INI, the desktop shortcut). Every text it shows goes
// through the translation lookup _().
//
// Paths are native: the install folder is the drive's root followed by "TARVO/", the data
// folder always ends in '/'.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/exception.h"
#include "http/http_client.h"

namespace tarvo::setup {

// rbSERVER: download and unpack data.zip; rbWORKSTATION: use data that is already there.
enum class TDataChoice { dcServer, dcWorkstation };

struct TInstallOptions {
  bool Dutch = true;             // rbNEDERLANDS, else French
  std::string DriveRoot = "/";   // root of the chosen drive
  bool ProxyUse = false;         // PROXY_USE
  std::string ProxyServer;       // PROXY_SERVER, taken as typed
  std::string ProxyPort;         // PROXY_POORT, the text as typed
  TDataChoice DataChoice = TDataChoice::dcServer;
  std::string DataFolder;        // GegevensLocatie; the component step sets the default
};

enum class TStepResult {
  srCompleted,  // go on to the next page
  srAborted,    // OnAbort was called: the abort page
  srCancelled,  // the cancel query answered true: stopped, nothing more written
  srRejected,   // the existing data folder holds no WINKEL.DAT: OnErrorBox was called
};

// A failure of the installer's own (bad proxy port, HTTP status other than 200, an entry
// that could not be unpacked); the message is ready to show.
class EInstallError : public core::Exception {
public:
  using core::Exception::Exception;
};

// Fixed file names of the installation.
inline constexpr const char* kSetupIni = "SETUP.INI";
inline constexpr const char* kDataFile = "WINKEL.DAT";
inline constexpr const char* kShortcutName = "T.Arvo.lnk";

// Time limits of the installer's HTTP client. Connect: a handshake that has not finished
// in 30 s will not (the kernel's own limit is over two minutes, far too long to stare at a
// waiting page); read: 60 s without a single byte from the server or the proxy means the
// transfer is dead, while long enough for a proxy that scans a whole archive before it
// passes it on. Name resolution keeps the resolver's own limits (resolv.conf: timeout x
// attempts per name server), so it ends as well.
inline constexpr int kConnectTimeoutMS = 30'000;
inline constexpr int kReadTimeoutMS = 60'000;

class TInstaller {
public:
  TInstaller();
  ~TInstaller();

  TInstallOptions Options;

  // --- seams -------------------------------------------------------------------------
  // A new archive begins (its file name): the progress restarts at 0.
  std::function<void(const std::string& archive)> OnArchiveBegin;
  // Progress of the current archive in whole percent, never going back within one archive:
  // the download fills 0..80 (only a 200 reply counts, never an error page), unpacking
  // 80..100.
  std::function<void(int percent)> OnProgress;
  // The connection's state in words ("Resolving hostname %s.", "Connected.", ...).
  std::function<void(const std::string& text)> OnStatus;
  // Polled at every progress notification: true means the user asked to cancel. Then
  // OnConfirm (when bound) is asked with the cancel question; yes stops the step there
  // (srCancelled) and leaves no partial archive behind.
  std::function<bool()> OnCancelQuery;
  std::function<bool(const std::string& question)> OnConfirm;
  // The failure transition of a step: show the abort page and an error box with message.
  std::function<void(const std::string& message)> OnAbort;
  // An error box that keeps the wizard on its page.
  std::function<void(const std::string& message)> OnErrorBox;
  // The settings file is written: Finish replaces Next.
  std::function<void()> OnFinishToFront;

  // --- the steps ---------------------------------------------------------------------
  // main.zip then upgrade.zip into the install folder; sets Options.DataFolder to the
  // default data folder first.
  TStepResult RunComponentStep();
  // data.zip into the data folder (or the WINKEL.DAT check), SETUP.INI, the shortcut.
  // Raises when SETUP.INI cannot be written ("Unable to write to %s").
  TStepResult RunDataStep();

  // --- the operations the steps are made of -------------------------------------------
  std::string InstallFolder() const;
  std::string DefaultDataFolder() const { return InstallFolder() + "DATA"; }
  // Options.DataFolder with its trailing '/'.
  std::string DataFolder() const;
  // Proxy settings into the client. A proxy server with a port that is not a number from
  // 1 to 65535 raises EInstallError (a direct connection ignores the port).
  void ApplyProxy();
  // Fetches the download base address + archive into fileName. The body goes to a
  // temporary file beside it that becomes fileName only after a complete 200 reply; on any
  // failure nothing is left behind.
  void DownloadFile(const std::string& archive, const std::string& fileName);
  // Unpacks every entry of fileName into its folder and deletes the archive, also when it
  // cannot be opened. An entry that fails raises EInstallError naming the entry and cause.
  void UnpackArchive(const std::string& fileName);
  // The SETUP.INI and shortcut part of the data step.
  void WriteSetupIni();
  void WriteShortcut();

  http::TNetHTTP& HTTP() { return *FHTTP; }
  // "De installatie is niet voltooid." CR "Bent u zeker ?", translated.
  static std::string CancelQuestion();

private:
  class ECancelled;
  void Report(int percent);
  bool CancelConfirmed();
  void PollCancel();
  template <class F>
  TStepResult Guarded(F&& stretch);

  std::unique_ptr<http::TNetHTTP> FHTTP;
  int FPercent = 0;
  bool FCountingBody = false;
  std::int64_t FBodyTotal = 0;
};

// The download base address: TARVO_DOWNLOAD_BASE from the environment, else the one the
// program was built with; always ending in '/'.
std::string DownloadBaseAddress();

// Reads a proxy port as typed: digits only (blanks around allowed), 1 to 65535; 0 when the
// text is no such number.
int ParseProxyPort(const std::string& text);

}  // namespace tarvo::setup
