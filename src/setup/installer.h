// TInstaller: the two installation steps of the wizard without the window. The window and
// the silent mode both drive it: they fill Options, bind the seams, and run the component
// step (main.zip and upgrade.zip into the install folder) and then the data step (data.zip
// or an existing data folder, SETUP.INI, the desktop shortcut). Every text it shows goes
// through the translation lookup _().
//
// Paths are native: the install folder is the drive's root followed by "TARVO/", the data
// folder always ends in '/'.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "core/exception.h"
#include "http/http_client.h"
#include "http/resumable_download.h"
#include "platform/install_lock.h"
#include "platform/scratch_file.h"
#include "platform/system_crypto.h"
#include "tls/tls_io_handler.h"

namespace tarvo::setup {

class TSignedList;

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
  // With dcServer and a data folder that already holds WINKEL.DAT: replace it without
  // asking (the silent mode's --replace-data). Otherwise OnReplaceDataQuery decides, and
  // without one the data stays.
  bool ReplaceData = false;
};

// What a step is doing, for the progress display.
enum class TInstallPhase {
  ipConnecting,   // resolving the name and connecting (to the proxy, when one is used)
  ipWaiting,      // the request is out, the reply has not begun
  ipDownloading,  // the body arrives
  ipUnpacking,
};

struct TInstallProgress {
  TInstallPhase Phase = TInstallPhase::ipConnecting;
  std::string Archive;           // "main.zip"
  std::string Peer;              // the host the step talks to: the server, or the proxy
  int ArchiveIndex = 0;          // 1-based within the step
  int ArchiveCount = 0;
  std::int64_t Done = 0;         // bytes of the archive received
  std::int64_t Total = 0;        // its size as the server announced it; 0 unknown
  // The whole step's bytes: the archives done and the current one. The total grows as each
  // archive's size becomes known (from its reply: no request of its own).
  std::int64_t StepDone = 0;
  std::int64_t StepTotal = 0;
  std::int64_t BytesPerSecond = 0;  // over the last seconds; 0 unknown
  int SecondsLeft = -1;          // for the step's known total at that speed; -1 unknown
  int FilesDone = 0;             // unpacking: entries begun of FilesTotal
  int FilesTotal = 0;
  std::string CurrentFile;       // the entry being unpacked
  int Percent = 0;               // of the whole step, never going back
};

enum class TStepResult {
  srCompleted,  // go on to the next page
  srAborted,    // OnAbort was called: the abort page
  srCancelled,  // the cancel query answered true: stopped, nothing more written
  srRejected,   // the existing data folder holds no WINKEL.DAT, or the data folder's name
                // cannot be written to SETUP.INI: OnErrorBox was called
  srRetry,      // the component step could not reach the server and OnRetryQuery said
                // retry: back to the proxy page
};

// A failure of the installer's own (bad proxy port, HTTP status other than 200, an entry
// that could not be unpacked); the message is ready to show.
class EInstallError : public core::Exception {
public:
  using core::Exception::Exception;
};

// The server (or the proxy) could not be reached or did not answer: the proxy settings may
// be at fault, so the wizard offers to go back to them.
class EConnectionError : public EInstallError {
public:
  using EInstallError::EInstallError;
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
// Tries after the first for each download that fails for the moment (a drop, a time-out, a
// busy server); a broken transfer continues where it stopped.
inline constexpr int kDownloadRetries = 3;
inline constexpr int kReadTimeoutMS = 60'000;

// Bounds on a whole exchange, beyond each single read: a server that trickles a byte now and
// then never trips the read time-out.
struct TTransferLimits {
  // From the start of a request to the end of the reply's head (connecting included): twice
  // the read time-out, for a scanning proxy that holds the reply back.
  int ResponseHeadMS = 120'000;
  // The body must average at least SlowBodyRate bytes per second over each SlowBodyMS
  // (curl's --speed-limit / --speed-time): a modem line still passes, a stall does not.
  std::int64_t SlowBodyRate = 256;
  int SlowBodyMS = 60'000;
};

// How often a running step hands the window its progress (and so processes pending input
// and repaints), however slowly the bytes come: ten times a second, what eyes can follow.
inline constexpr int kPulseMS = 100;
// A downloaded archive, held open: the only way to its bytes. On Windows nobody else may
// open it meanwhile; elsewhere it has no name at all.
struct TDownloadedArchive {
  std::unique_ptr<platform::TScratchFile> File;
  std::unique_ptr<platform::TScratchFileStream> Stream;
  platform::TSha256 Digest;
};

class TInstaller {
public:
  TInstaller();
  ~TInstaller();

  TInstallOptions Options;
  TTransferLimits Limits;

  // --- seams -------------------------------------------------------------------------
  // A new archive begins (its file name).
  std::function<void(const std::string& archive)> OnArchiveBegin;
  // Progress of the step: at every change of phase or whole percent and at least every
  // kPulseMS while the step works or waits (so a window bound here stays alive). One sweep
  // across the step: each archive has an equal share, its download the first 80% of it
  // (only a 200 reply counts, never an error page), its unpacking the rest.
  std::function<void(const TInstallProgress& progress)> OnProgress;
  // The connection's state in words ("Resolving hostname %s.", "Connected.", ...).
  std::function<void(const std::string& text)> OnStatus;
  // A line for the log of an unattended run: each download (address, size, time, SHA-256),
  // each retry, each file unpacked.
  std::function<void(const std::string& line)> OnLog;
  // Polled at every progress notification: true means the user asked to cancel. Then
  // OnConfirm (when bound) is asked with the cancel question; yes stops the step there
  // (srCancelled) and leaves no partial archive behind.
  std::function<bool()> OnCancelQuery;
  std::function<bool(const std::string& question)> OnConfirm;
  // The failure transition of a step: show the abort page and an error box with message.
  std::function<void(const std::string& message)> OnAbort;
  // The component step could not reach the server (EConnectionError): the message is
  // shown with the choice; true goes back to the proxy settings (srRetry), false goes on
  // to OnAbort with the message the user has just seen. Unbound: OnAbort.
  std::function<bool(const std::string& message)> OnRetryQuery;
  // The data folder already holds WINKEL.DAT: true replaces it with data.zip's. Unbound: no.
  std::function<bool(const std::string& question)> OnReplaceDataQuery;
  // An error box that keeps the wizard on its page.
  std::function<void(const std::string& message)> OnErrorBox;
  // The settings file is written: Finish replaces Next.
  std::function<void()> OnFinishToFront;

  // --- the steps ---------------------------------------------------------------------
  // main.zip then upgrade.zip into the install folder; sets Options.DataFolder to the
  // default data folder first.
  TStepResult RunComponentStep();
  // The silent mode's check before anything is downloaded: the key, the signed list and the
  // lines of main.zip, upgrade.zip and, withData, data.zip. A failure goes to OnAbort.
  TStepResult CheckSignedList(bool withData);
  // data.zip into the data folder (or the WINKEL.DAT check), SETUP.INI, the shortcut.
  // Raises when SETUP.INI cannot be written ("Unable to write to %s").
  TStepResult RunDataStep();

  // --- the operations the steps are made of -------------------------------------------
  std::string InstallFolder() const;
  std::string DefaultDataFolder() const { return InstallFolder() + "DATA"; }
  // Options.DataFolder with its trailing '/'.
  std::string DataFolder() const;
  // Whether the data folder holds the data file (in any case of its name).
  bool DataFolderHoldsData() const;
  // Proxy settings into the client. A proxy server with a port that is not a number from
  // 1 to 65535 raises EInstallError (a direct connection ignores the port).
  void ApplyProxy();
  // ApplyProxy when the proxy box is ticked, else a direct connection.
  void UseProxyChoice();
  // With the vendor's key (PayloadKey): fetches and checks the signed list, once per
  // installer, and requires a line for each archive. Raises EInstallError before anything
  // is downloaded. Without a key it does nothing: Verifying() then says false.
  void RequireSignedLines(std::initializer_list<const char*> archives);
  bool Verifying();
  // Fetches the download base address + archive into a scratch file (no name, gone with the
  // handle) in folder; the SHA-256 is computed as the bytes arrive and must match the
  // signed list when there is one. A failure's message keeps the transport's or the
  // server's text as its first line and says on the next what failed (the file and the
  // address, the proxy, the folder, the disk, the checksum).
  std::unique_ptr<TDownloadedArchive> DownloadFile(const std::string& archive, const std::string& folder);
  // Unpacks every entry of the download into folder, through the handle it arrived by. An
  // entry that fails raises EInstallError naming the entry and cause.
  void UnpackArchive(TDownloadedArchive& download, const std::string& folder);
  // The SETUP.INI and shortcut part of the data step.
  void WriteSetupIni();
  void WriteShortcut();

  http::TNetHTTP& HTTP() { return *FHTTP; }
  // The downloads' tries and continuations (Retries, and what the last download did).
  http::TNetResumableDownload& Downloads() { return *FResumable; }
  // "De installatie is niet voltooid." CR "Bent u zeker ?", translated.
  static std::string CancelQuestion();
  // Whether to replace the data file in folder, translated; Yes loses the shop's data.
  static std::string ReplaceDataQuestion(const std::string& folder);

private:
  using TClock = std::chrono::steady_clock;
  class ECancelled;
  class TKeepAlive;
  void BeginStep(int archives);
  void BeginArchive(const std::string& archive);
  void SetPhase(TInstallPhase phase);
  // The host the step talks to: the proxy, else the download server.
  std::string PeerName() const;
  // Hands on the progress when it is due (or forced), then stops the step if the user
  // cancelled or the transfer broke its limits.
  void Pulse(bool force = false);
  void CheckTransfer(TClock::time_point now);
  // The install folder for this installer alone: raises EInstallError when another one
  // is installing into it.
  void TakeInstallLock();
  // The pause before a download is tried again, with the window live and Cancel heard.
  void WaitBeforeRetry(int delayMS);
  int StepPercent(double withinArchive) const;
  bool CancelConfirmed();
  void PollCancel();
  // Why the download failed, in words, as the line after the failure's own text.
  std::string FailureContext(const std::exception& e, const std::string& archive, const std::string& folder) const;
  // EInstallError "HTTP Error:" for a reply other than 200 (or the 206 that continued a
  // transfer, when the download was continued).
  void RequireStatus200(bool continued = false) const;
  // A small file of the download folder, whole, in memory; more than limit bytes raise.
  std::string FetchSmall(const std::string& name, std::size_t limit);
  template <class F>
  TStepResult Guarded(F&& stretch, bool mayRetry);

  // https and http both go through it (http unencrypted); it outlives the client.
  std::unique_ptr<tls::TNetTLSIOHandler> FTLS;
  std::unique_ptr<http::TNetHTTP> FHTTP;
  std::unique_ptr<http::TNetResumableDownload> FResumable;
  std::unique_ptr<platform::TInstallLock> FLock;  // held from the first step on
  TInstallProgress FProgress;
  double FUnpacked = 0;  // share of the current archive's entries done, 0..1
  std::int64_t FStepBytes = 0;  // of the archives of this step already downloaded
  bool FCountingBody = false;
  bool FTransferring = false;  // inside DownloadFile's exchange
  bool FInBody = false;        // a reply's body is being read
  bool FInPulse = false;
  bool FCancelRequested = false;
  bool FFetchingList = false;  // the signed list's bytes move no progress bar
  std::string FLastCreateFolderError;  // why the install or data folder could not be made
  // The vendor's key and its list, once loaded (FKeyLoaded: the key was looked for).
  bool FKeyLoaded = false;
  std::optional<platform::TEcP256PublicKey> FKey;
  std::unique_ptr<TSignedList> FSignedList;
  TClock::time_point FLastPulse, FHeadStart, FWindowStart;
  std::int64_t FWindowBytes = 0;
  std::deque<std::pair<TClock::time_point, std::int64_t>> FSpeedSamples;
};

// Removes what an interrupted run of an earlier version left in folder for the archive: its
// partial download (".main.zip.XXXXXX", or "main.zip.tarvo-PID-N" on Windows) and its copy
// being unpacked ("main.zip.XXXXXX.zip"). Nothing else of the folder is touched. (Downloads
// now go to files without a name, which nothing outlives.)
void RemoveStaleTemporaries(const std::string& folder, const std::string& archive);

// The download base address: TARVO_DOWNLOAD_BASE from the environment, else the one the
// program was built with; always ending in '/'.
std::string DownloadBaseAddress();

// Why folder cannot be the data folder (a line break or another control character, which
// SETUP.INI cannot hold), translated; nullopt when it can.
std::optional<std::string> DataFolderProblem(const std::string& folder);

// Reads a proxy port as typed: digits only (blanks around allowed), 1 to 65535; 0 when the
// text is no such number.
int ParseProxyPort(const std::string& text);

}  // namespace tarvo::setup
