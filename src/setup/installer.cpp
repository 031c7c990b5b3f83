#include "setup/installer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "core/scope_guard.h"
#include "core/format.h"
#include "core/port_text.h"
#include "core/text_trim.h"
#include "http/http_exception.h"
#include "http/uri.h"
#include "i18n/translations.h"
#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_strings.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "platform/install_folder.h"
#include "platform/desktop_folder.h"
#include "platform/private_profile.h"
#include "platform/scratch_file.h"
#include "platform/shell_link.h"
#include "setup/progress_text.h"
#include "setup/signed_list.h"
#include "tls/tls_errors.h"
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

// While a step runs, the transport's waits (connecting, waiting for the reply, between the
// blocks of a body) come back here every kPulseMS: the progress goes out, Cancel is seen at
// once, and the exchange's own limits are checked. Made only when no other hook exists.
class TInstaller::TKeepAlive : public net::TNetAntiFreezeBase {
public:
  explicit TKeepAlive(TInstaller& owner) : FOwner(owner) { SetIdleTimeOut(kPulseMS); }
  void Process() override { FOwner.Pulse(); }

private:
  TInstaller& FOwner;
};

namespace {

// Download and unpacking share one archive's part of the sweep.
constexpr double kDownloadShare = 0.8;
// The speed shown is the average over this much of the latest transfer.
constexpr auto kSpeedWindow = std::chrono::seconds(5);

// A folder with the system's separator at its end (a given one of either kind stays).
std::string WithSlash(std::string path) {
  if (path.empty() || (path.back() != '/' && path.back() != platform::kPathDelimiter)) path += platform::kPathDelimiter;
  return path;
}

// A folder and its missing parents; failures surface later, when a file in it cannot be
// created. Answers why it failed ("" when it is there).
std::string ForceDirectories(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!ec) return {};
  return core::Format(_("De map %s kan niet worden aangemaakt: %s"), {folder, core::SysErrorMessage(ec.value())});
}

bool IsTemporaryTail(std::string_view tail) {
  return tail.size() == 6 && std::all_of(tail.begin(), tail.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

// "tarvo-PID-N", the Windows form of a partial download's suffix.
bool IsWindowsTemporaryTail(std::string_view tail) {
  if (tail.substr(0, 6) != "tarvo-") return false;
  tail.remove_prefix(6);
  const std::size_t dash = tail.find('-');
  auto digits = [](std::string_view d) {
    return !d.empty() && d.size() <= 10 && std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return dash != std::string_view::npos && digits(tail.substr(0, dash)) && digits(tail.substr(dash + 1));
}

bool IsStaleTemporary(std::string_view name, std::string_view archive) {
  // ".main.zip.XXXXXX"
  if (name.size() == archive.size() + 8 && name[0] == '.' && name.substr(1, archive.size()) == archive &&
      name[archive.size() + 1] == '.' && IsTemporaryTail(name.substr(archive.size() + 2)))
    return true;
  if (name.size() <= archive.size() + 1 || name.substr(0, archive.size()) != archive || name[archive.size()] != '.')
    return false;
  std::string_view rest = name.substr(archive.size() + 1);
  // "main.zip.XXXXXX.zip"
  if (rest.size() == 10 && rest.substr(6) == ".zip" && IsTemporaryTail(rest.substr(0, 6))) return true;
  // "main.zip.tarvo-PID-N"
  return IsWindowsTemporaryTail(rest);
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

std::optional<std::string> DataFolderProblem(const std::string& folder) {
  // SETUP.INI holds the folder as one line's value: a line break in it would add keys and
  // sections of its own.
  auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; };
  if (std::none_of(folder.begin(), folder.end(), control)) return std::nullopt;
  std::string shown = folder;
  std::replace_if(shown.begin(), shown.end(), control, '?');
  return core::Format(_("De map %s bevat een regeleinde of een ander stuurteken: kies een andere map."), {shown});
}

int ParseProxyPort(const std::string& text) { return core::ParsePort(core::TrimBlanks(text)).value_or(0); }

void RemoveStaleTemporaries(const std::string& folder, const std::string& archive) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (IsStaleTemporary(it->path().filename().string(), archive) && it->is_regular_file(ignored))
      std::filesystem::remove(it->path(), ignored);
  }
}

TInstaller::TInstaller()
    : FTLS(std::make_unique<tls::TNetTLSIOHandler>()),
      FHTTP(std::make_unique<http::TNetHTTP>()),
      FResumable(std::make_unique<http::TNetResumableDownload>(*FHTTP)) {
  FHTTP->SetIOHandler(FTLS.get());
  FResumable->Retries = kDownloadRetries;
  FResumable->OnWait = [this](int delayMS) { WaitBeforeRetry(delayMS); };
  FResumable->OnRetry = [this](int, int delayMS, const std::string& why) {
    const std::string again = core::Format(_("Nieuwe poging over %d s…"), {std::to_string((delayMS + 500) / 1000)});
    if (OnStatus) OnStatus(why + "\r\n" + again);
    if (OnLog) OnLog(FProgress.Archive + ": " + why + " " + again);
  };
  FHTTP->SetConnectTimeout(kConnectTimeoutMS);
  FHTTP->SetReadTimeout(kReadTimeoutMS);
  FHTTP->OnWorkBegin = [this](net::TNetComponent*, net::TWorkMode mode, std::int64_t total) {
    if (mode != net::wmRead) return;
    FInBody = true;
    FWindowStart = TClock::now();
    FWindowBytes = 0;
    // An error reply's body is read too; it must not move the bar, nor the signed list's.
    const int code = FHTTP->ResponseCode();
    FCountingBody = (code == 200 || code == 206) && !FFetchingList;
    if (FCountingBody) {
      // A continued transfer counts what it already had.
      const std::int64_t had = FResumable->ResumedAt();
      FProgress.Total = total > 0 ? had + total : 0;
      FProgress.Done = had;
      FSpeedSamples.clear();
      SetPhase(TInstallPhase::ipDownloading);
    }
    Pulse();
  };
  FHTTP->OnWorkEnd = [this](net::TNetComponent*, net::TWorkMode mode) {
    if (mode != net::wmRead) return;
    // Another exchange may follow in the same request (an authentication round): its head
    // has a deadline of its own.
    FInBody = false;
    FHeadStart = TClock::now();
  };
  FHTTP->OnStatus = [this](net::TNetComponent*, net::TNetStatus status, const std::string& text) {
    if (status == net::hsConnected && FTransferring && !FInBody) SetPhase(TInstallPhase::ipWaiting);
    if (OnStatus) OnStatus(text);
  };
  FHTTP->OnWork = [this](net::TNetComponent*, net::TWorkMode mode, std::int64_t done) {
    if (mode != net::wmRead) return;
    if (FCountingBody && done >= 0) FProgress.Done = FResumable->ResumedAt() + done;
    Pulse();
  };
}

TInstaller::~TInstaller() = default;

void TInstaller::TakeInstallLock() {
  if (FLock) return;
  FLock = platform::TInstallLock::TryTake(InstallFolder());
  if (!FLock)
    throw EInstallError(core::Format(_("Er loopt al een installatie in %s: wacht tot die klaar is."), {InstallFolder()}));
}

void TInstaller::WaitBeforeRetry(int delayMS) {
  // The window stays alive and Cancel answers at once; the server's deadlines start again
  // with the next try.
  const bool transferring = FTransferring;
  FTransferring = false;
  core::TScopeGuard resume([&] {
    FTransferring = transferring;
    FInBody = false;
    FHeadStart = TClock::now();
  });
  const TClock::time_point until = TClock::now() + std::chrono::milliseconds(delayMS);
  for (TClock::time_point now; (now = TClock::now()) < until;) {
    Pulse(true);
    std::this_thread::sleep_for(std::min<TClock::duration>(until - now, std::chrono::milliseconds(kPulseMS)));
  }
}

std::string TInstaller::InstallFolder() const { return WithSlash(Options.DriveRoot) + "TARVO" + platform::kPathDelimiter; }

std::string TInstaller::DataFolder() const { return WithSlash(Options.DataFolder); }

bool TInstaller::DataFolderHoldsData() const { return HoldsDataFile(DataFolder()); }

void TInstaller::BeginStep(int archives) {
  FProgress = TInstallProgress();
  FStepBytes = 0;
  FProgress.ArchiveCount = archives;
  FCancelRequested = false;
  FLastPulse = TClock::time_point();
}

void TInstaller::BeginArchive(const std::string& archive) {
  FProgress.Archive = archive;
  ++FProgress.ArchiveIndex;
  FProgress.Peer = PeerName();
  FProgress.Done = FProgress.Total = FProgress.BytesPerSecond = 0;
  FProgress.SecondsLeft = -1;
  FProgress.FilesDone = FProgress.FilesTotal = 0;
  FProgress.CurrentFile.clear();
  FUnpacked = 0;
  FSpeedSamples.clear();
  if (OnArchiveBegin) OnArchiveBegin(archive);
  SetPhase(TInstallPhase::ipConnecting);
}

std::string TInstaller::PeerName() const {
  const std::string& proxy = FHTTP->ProxyParams().ProxyServer();
  return proxy.empty() ? http::TNetURI(DownloadBaseAddress()).Host() : proxy;
}

void TInstaller::SetPhase(TInstallPhase phase) {
  FProgress.Phase = phase;
  Pulse(true);
}

int TInstaller::StepPercent(double withinArchive) const {
  const int count = std::max(1, FProgress.ArchiveCount);
  const double done = (std::max(1, FProgress.ArchiveIndex) - 1 + std::clamp(withinArchive, 0.0, 1.0)) / count;
  return std::clamp(static_cast<int>(done * 100), 0, 100);
}

void TInstaller::Pulse(bool force) {
  if (FInPulse) return;  // a window handler that waits in turn comes back here
  FInPulse = true;
  core::TScopeGuard reset([this] { FInPulse = false; });
  const TClock::time_point now = TClock::now();
  TInstallProgress& p = FProgress;

  double within = 0;
  if (p.Phase == TInstallPhase::ipDownloading) {
    if (p.Total > 0) within = kDownloadShare * static_cast<double>(std::min(p.Done, p.Total)) / static_cast<double>(p.Total);
    if (FSpeedSamples.empty() || now - FSpeedSamples.back().first >= std::chrono::milliseconds(kPulseMS))
      FSpeedSamples.emplace_back(now, p.Done);
    while (FSpeedSamples.size() > 2 && now - FSpeedSamples[1].first >= kSpeedWindow) FSpeedSamples.pop_front();
    const auto span = std::chrono::duration_cast<std::chrono::milliseconds>(now - FSpeedSamples.front().first).count();
    p.StepDone = FStepBytes + p.Done;
    p.StepTotal = FStepBytes + std::max(p.Total, p.Done);
    if (span >= 500) {
      p.BytesPerSecond = (p.Done - FSpeedSamples.front().second) * 1000 / span;
      p.SecondsLeft = p.Total > 0 && p.BytesPerSecond > 0
                          ? static_cast<int>(std::min<std::int64_t>((p.StepTotal - p.StepDone) / p.BytesPerSecond, 359'999))
                          : -1;
    }
  } else if (p.Phase == TInstallPhase::ipUnpacking) {
    within = kDownloadShare + (1 - kDownloadShare) * FUnpacked;
  }
  const int percent = std::max(p.Percent, StepPercent(within));
  const bool due = force || percent > p.Percent || now - FLastPulse >= std::chrono::milliseconds(kPulseMS);
  p.Percent = percent;
  if (due) {
    FLastPulse = now;
    if (OnProgress) OnProgress(p);
    // Time the user spent in a question the window asked meanwhile (Cancel answered No)
    // does not count against the server.
    const TClock::duration asked = TClock::now() - now;
    if (asked > std::chrono::seconds(1)) {
      FHeadStart += asked;
      FWindowStart += asked;
    }
  }
  PollCancel();
  CheckTransfer(TClock::now());
}

void TInstaller::CheckTransfer(TClock::time_point now) {
  if (!FTransferring) return;
  using std::chrono::milliseconds;
  if (!FInBody) {
    if (now - FHeadStart < milliseconds(Limits.ResponseHeadMS)) return;
    throw EConnectionError(core::LoadResString(net::RSReadTimeout) + "\r\n" +
                           core::Format(_("%s gaf binnen %d seconden geen antwoord."),
                                        {FProgress.Peer, std::to_string(Limits.ResponseHeadMS / 1000)}));
  }
  const auto span = std::chrono::duration_cast<milliseconds>(now - FWindowStart).count();
  if (span < Limits.SlowBodyMS) return;
  const std::int64_t got = FHTTP->WorkInfo(net::wmRead).Current - FWindowBytes;
  if (got * 1000 < Limits.SlowBodyRate * span)
    throw EInstallError(core::LoadResString(net::RSReadTimeout) + "\r\n" +
                        core::Format(_("%s kwam te traag binnen: minder dan %d bytes per seconde gedurende %d seconden."),
                                     {FProgress.Archive, std::to_string(Limits.SlowBodyRate), std::to_string(span / 1000)}));
  FWindowStart = now;
  FWindowBytes = FHTTP->WorkInfo(net::wmRead).Current;
}

std::string TInstaller::ReplaceDataQuestion(const std::string& folder) {
  return core::Format(_("De map %s bevat al gegevens (%s)."), {folder, kDataFile}) + "\r" +
         _("Wilt u ze vervangen door een leeg gegevensbestand? De bestaande gegevens gaan dan verloren.");
}

std::string TInstaller::CancelQuestion() { return _("De installatie is niet voltooid.") + "\r" + _("Bent u zeker ?"); }

bool TInstaller::CancelConfirmed() {
  if (!OnCancelQuery || !OnCancelQuery() || (OnConfirm && !OnConfirm(CancelQuestion()))) return false;
  FCancelRequested = true;
  return true;
}

void TInstaller::PollCancel() {
  if (CancelConfirmed()) throw ECancelled();
}

void TInstaller::ApplyProxy() {
  int port = ParseProxyPort(Options.ProxyPort);
  if (!Options.ProxyServer.empty() && port == 0)
    throw EConnectionError(core::Format(_("Ongeldige poort \"%s\" voor de proxyserver: geef een getal van 1 tot 65535 op."),
                                     {Options.ProxyPort}));
  FHTTP->ProxyParams().SetProxyServer(Options.ProxyServer);
  FHTTP->ProxyParams().SetProxyPort(port);
}

std::string TInstaller::FailureContext(const std::exception& e, const std::string& archive,
                                       const std::string& folder) const {
  const std::string url = DownloadBaseAddress() + archive;
  if (dynamic_cast<const core::EFCreateError*>(&e)) return FLastCreateFolderError;
  if (const auto* io = dynamic_cast<const core::EInOutError*>(&e); io && io->ErrorCode() == ENOSPC) {
    std::error_code ec;
    const std::filesystem::space_info space = std::filesystem::space(folder, ec);
    const std::int64_t needed = FProgress.Total > 0 ? FProgress.Total : FProgress.Done;
    return core::Format(_("De schijf is vol: %s heeft %s nodig, er is nog %s vrij."),
                        {archive, ByteCountText(needed), ec ? std::string("?") : ByteCountText(static_cast<std::int64_t>(space.available))});
  }
  if (dynamic_cast<const http::ENetHTTPProtocolException*>(&e) || dynamic_cast<const EInstallError*>(&e) ||
      dynamic_cast<const tls::ETlsError*>(&e))
    return core::Format(_("%s kon niet worden gedownload van %s."), {archive, url});
  const bool connecting = FProgress.Phase == TInstallPhase::ipConnecting;
  const auto* socket = dynamic_cast<const net::ENetSocketError*>(&e);
  if (!socket && !dynamic_cast<const net::ENetConnectTimeout*>(&e)) return {};
  const std::string& proxy = FHTTP->ProxyParams().ProxyServer();
  if (!connecting) return core::Format(_("De verbinding werd verbroken tijdens de download van %s."), {url});
  if (!proxy.empty()) {
    const std::string address = proxy + ":" + std::to_string(FHTTP->ProxyParams().ProxyPort());
    if (socket && socket->LastError() == 10061)
      return core::Format(_("De proxyserver %s weigert de verbinding: controleer het adres en de poort."), {address});
    return core::Format(_("De proxyserver %s is niet bereikbaar."), {address});
  }
  return core::Format(_("De downloadserver %s is niet bereikbaar."), {http::TNetURI(url).Host()});
}

void TInstaller::UseProxyChoice() {
  if (Options.ProxyUse) {
    ApplyProxy();
  } else {
    // A proxy given up after a failed try (the user went back and cleared the box) is not
    // used behind the user's back.
    FHTTP->ProxyParams().SetProxyServer("");
    FHTTP->ProxyParams().SetProxyPort(0);
  }
}

namespace {

// The signed list and its signature go to memory, and no further than their limit.
class TSmallBody final : public core::TMemoryStream {
public:
  TSmallBody(std::string name, std::size_t limit) : FName(std::move(name)), FLimit(limit) {}
  std::size_t Write(const void* buffer, std::size_t count) override {
    if (static_cast<std::uint64_t>(Position()) + count > FLimit)
      throw EInstallError(core::Format(_("%s is groter dan %s: dat is geen lijst van de uitgever."),
                                       {FName, ByteCountText(static_cast<std::int64_t>(FLimit))}));
    return core::TMemoryStream::Write(buffer, count);
  }

private:
  std::string FName;
  std::size_t FLimit;
};

}  // namespace

void TInstaller::RequireStatus200(bool continued) const {
  // The client raises for everything outside 2xx; a 204 or 206 is no archive either, but
  // for the 206 that brought the rest of one.
  const int code = FHTTP->ResponseCode();
  if (code != 200 && !(continued && code == 206))
    throw EInstallError(_("HTTP Error:") +
                        core::Format("%d: %s", {std::to_string(FHTTP->ResponseCode()), FHTTP->ResponseText()}));
}

std::string TInstaller::FetchSmall(const std::string& name, std::size_t limit) {
  TSmallBody body(name, limit);
  // The progress page says what is being fetched, from whom; the bar stays where it is.
  FProgress.Archive = name;
  FProgress.Peer = PeerName();
  FHTTP->Disconnect();
  FTransferring = true;
  FInBody = false;
  FFetchingList = true;
  FHeadStart = TClock::now();
  core::TScopeGuard done([this] { FTransferring = FInBody = FFetchingList = false; });
  try {
    FHTTP->Get(DownloadBaseAddress() + name, body);
    RequireStatus200();
  } catch (const ECancelled&) {
    throw;
  } catch (const EInstallError&) {
    throw;
  } catch (const std::exception& e) {
    const auto* own = dynamic_cast<const core::Exception*>(&e);
    const std::string message = (own ? own->Message() : std::string(e.what())) + "\r\n" +
                                core::Format(_("%s kon niet worden gedownload van %s."), {name, DownloadBaseAddress() + name}) +
                                "\r\n" + _("Zonder de ondertekende lijst kunnen de downloads niet worden gecontroleerd.");
    const bool unreachable = dynamic_cast<const net::ENetSocketError*>(&e) || dynamic_cast<const net::ENetConnectTimeout*>(&e);
    if (unreachable) throw EConnectionError(message);
    throw EInstallError(message);
  }
  return body.DataString();
}

bool TInstaller::Verifying() {
  if (!FKeyLoaded) {
    FKey = PayloadKey();
    FKeyLoaded = true;
  }
  return FKey.has_value();
}

void TInstaller::RequireSignedLines(std::initializer_list<const char*> archives) {
  if (!Verifying()) return;
  if (!FSignedList) {
    const std::string list = FetchSmall(kSignedListName, kMaxSignedListSize);
    const std::string signature = FetchSmall(kSignatureName, kMaxSignatureSize);
    // The signature first: nothing of a list is believed, or even parsed, before it.
    if (!SignatureMatches(*FKey, list, signature))
      throw EInstallError(core::Format(
          _("De handtekening van %s klopt niet: de lijst komt niet van de uitgever of werd onderweg gewijzigd."),
          {kSignedListName}));
    FSignedList = std::make_unique<TSignedList>(list);
  }
  for (const char* archive : archives)
    if (!FSignedList->Find(archive))
      throw EInstallError(core::Format(_("%s staat niet in de ondertekende lijst %s."), {archive, kSignedListName}));
}

std::unique_ptr<TDownloadedArchive> TInstaller::DownloadFile(const std::string& archive, const std::string& folder) {
  FCountingBody = false;
  BeginArchive(archive);
  auto download = std::make_unique<TDownloadedArchive>();
  try {
    download->File = platform::TScratchFile::Create(folder);
    if (!download->File) throw core::EFCreateError(folder + archive, errno != 0 ? errno : EIO);
    download->Stream = std::make_unique<platform::TScratchFileStream>(*download->File);
    download->Stream->OnWriteContext = &download->Digest;
    download->Stream->OnWrite = [](void* digest, const void* data, std::size_t size) {
      static_cast<platform::TSha256*>(digest)->Update(data, size);
    };
    // A fresh connection per archive: a proxy or server may close an idle kept-alive
    // connection without saying so, and the archives are few and large.
    FHTTP->Disconnect();
    FTransferring = true;
    FInBody = false;
    FHeadStart = TClock::now();
    core::TScopeGuard done([this] { FTransferring = FInBody = FCountingBody = false; });
    // A body that starts over is hashed from its first byte again.
    FResumable->OnRestart = [&download] { download->Digest.Reset(); };
    const TClock::time_point started = TClock::now();
    FResumable->Get(DownloadBaseAddress() + archive, *download->Stream);
    done.Run();
    RequireStatus200(FResumable->ResumedAt() > 0);
    if (OnLog) {
      const double seconds = std::chrono::duration<double>(TClock::now() - started).count();
      char time[32];
      std::snprintf(time, sizeof time, "%.1f", seconds);
      OnLog(core::Format(_("%s opgehaald van %s: %s in %s s, %d poging(en), %s twee keer ontvangen."),
                         {archive, DownloadBaseAddress() + archive, ByteCountText(download->Stream->Size()), time,
                          std::to_string(FResumable->Attempts()), ByteCountText(FResumable->RefetchedBytes())}));
    }
  } catch (const ECancelled&) {
    throw;
  } catch (const std::exception& e) {
    const auto* own = dynamic_cast<const core::Exception*>(&e);
    const std::string message = own ? own->Message() : std::string(e.what());
    const std::string context = FailureContext(e, archive, folder);
    if (context.empty() || message.find(context) != std::string::npos) throw;
    const bool unreachable = (dynamic_cast<const net::ENetSocketError*>(&e) || dynamic_cast<const net::ENetConnectTimeout*>(&e)) &&
                             FProgress.Phase == TInstallPhase::ipConnecting;
    if (unreachable || dynamic_cast<const EConnectionError*>(&e)) throw EConnectionError(message + "\r\n" + context);
    throw EInstallError(message + "\r\n" + context);
  }
  FStepBytes += download->Stream->Size();
  const platform::TSha256Digest actual = download->Digest.Final();
  if (OnLog) OnLog(archive + ": SHA-256 " + platform::HexDigest(actual));
  if (FSignedList) {
    const platform::TSha256Digest* expected = FSignedList->Find(archive);
    if (expected == nullptr || *expected != actual)
      throw EInstallError(core::Format(
          _("%s is niet het bestand dat de uitgever ondertekende: de SHA-256-controlesom is %s, de ondertekende lijst zegt %s. Er werd niets van uitgepakt."),
          {archive, platform::HexDigest(actual), expected ? platform::HexDigest(*expected) : std::string("-")}));
  }
  return download;
}

void TInstaller::UnpackArchive(TDownloadedArchive& download, const std::string& folder) {
  std::optional<std::pair<std::string, std::string>> firstFailure;
  std::uint64_t failedSize = 0;
  bool cancelled = false;
  unzip::TVmUnZipper unzipper;
  unzipper.OnProcessItemFailure = [&](void*, unzip::TVmArchiveItem* item, unzip::TVmProcessType, unzip::TVmErrorClass,
                                      int, const std::string& message) {
    if (firstFailure) return;
    firstFailure.emplace(item != nullptr ? item->FileName() : std::string(), message);
    failedSize = item != nullptr ? item->UncompressedSize() : 0;
  };
  auto pulse = [&](bool& abort) {
    try {
      Pulse();
    } catch (const ECancelled&) {
      abort = cancelled = true;
    }
  };
  unzipper.OnArchiveProgress = [&](void*, std::uint8_t percent, bool& abort) {
    FUnpacked = percent / 100.0;
    pulse(abort);
  };
  // A large entry reports within itself too, so the window stays alive while it is decoded.
  unzipper.OnArchiveItemProgress = [&](void*, unzip::TVmArchiveItem*, std::uint8_t, bool& abort) { pulse(abort); };
  unzipper.OnConfirmProcessItem = [this](void*, unzip::TVmArchiveItem* item, unzip::TVmProcessType, bool& confirm) {
    confirm = true;
    if (item == nullptr) return;
    ++FProgress.FilesDone;
    FProgress.CurrentFile = item->FileName();
    if (OnLog) OnLog(core::Format(_("Uitpakken: %s"), {item->FileName()}));
  };
  unzipper.SetBaseDirectory(folder);
  SetPhase(TInstallPhase::ipUnpacking);
  try {
    unzipper.OpenArchive(*download.Stream, FProgress.Archive);
    FProgress.FilesTotal = static_cast<int>(unzipper.Count());
    unzipper.ExtractFiles("*.*");
  } catch (...) {
    if (cancelled) throw ECancelled();
    throw;
  }
  unzipper.CloseArchive();
  if (cancelled) throw ECancelled();
  if (firstFailure) {
    std::string message = core::Format(_("Kan \"%s\" niet uitpakken: %s"), {firstFailure->first, firstFailure->second});
    // An entry that no longer fits: say that the disk is full, and how much the entry needs.
    std::error_code ec;
    const std::filesystem::space_info space = std::filesystem::space(folder, ec);
    if (!ec && space.available < failedSize)
      message += "\r\n" + core::Format(_("De schijf is vol: %s heeft %s nodig, er is nog %s vrij."),
                                        {firstFailure->first, ByteCountText(static_cast<std::int64_t>(failedSize)),
                                         ByteCountText(static_cast<std::int64_t>(space.available))});
    throw EInstallError(message);
  }
  FUnpacked = 1;
  Pulse(true);
}

template <class F>
TStepResult TInstaller::Guarded(F&& stretch, bool mayRetry) {
  std::optional<TKeepAlive> keepAlive;
  if (!net::TNetAntiFreezeBase::Instance()) keepAlive.emplace(*this);
  try {
    stretch();
    return TStepResult::srCompleted;
  } catch (const ECancelled&) {
    return TStepResult::srCancelled;
  } catch (const std::exception& e) {
    // A failure that arrives after the user asked to stop is no news to show (a query
    // without a confirmation is the user's answer itself).
    if (FCancelRequested || (OnCancelQuery && !OnConfirm && OnCancelQuery())) return TStepResult::srCancelled;
    keepAlive.reset();  // the questions below are modal: nothing of the step runs meanwhile
    const auto* own = dynamic_cast<const core::Exception*>(&e);
    const std::string message = own ? own->Message() : std::string(e.what());
    if (mayRetry && OnRetryQuery && dynamic_cast<const EConnectionError*>(&e) && OnRetryQuery(message))
      return TStepResult::srRetry;
    if (OnAbort) OnAbort(message);
    return TStepResult::srAborted;
  }
}

TStepResult TInstaller::RunComponentStep() {
  const std::string install = InstallFolder();
  Options.DataFolder = DefaultDataFolder();
  BeginStep(2);
  return Guarded(
      [&] {
        TakeInstallLock();
        UseProxyChoice();
        RequireSignedLines({"main.zip", "upgrade.zip"});
        // A folder that cannot be made is reported by the first file that cannot be created;
        // one that is not safe to install into ends the step before anything is downloaded.
        using platform::TInstallFolderState;
        const platform::TInstallFolderResult folder = platform::PrepareInstallFolder(install);
        switch (folder.State) {
          case TInstallFolderState::ifReady: FLastCreateFolderError.clear(); break;
          case TInstallFolderState::ifNotCreated:
            FLastCreateFolderError = core::Format(_("De map %s kan niet worden aangemaakt: %s"),
                                                  {install, core::SysErrorMessage(folder.Error)});
            break;
          case TInstallFolderState::ifNotAFolder:
            throw EInstallError(
                core::Format(_("%s is een bestand en geen map: de installatie gaat niet verder."), {install}));
          case TInstallFolderState::ifLink:
            throw EInstallError(core::Format(
                _("De map %s is een koppeling naar een andere plaats: de installatie gaat niet verder."), {install}));
          case TInstallFolderState::ifForeignOwner:
            throw EInstallError(
                core::Format(_("De map %s is van een andere gebruiker (%s): de installatie gaat niet verder."),
                             {install, folder.Owner}));
          case TInstallFolderState::ifNotSecured:
            throw EInstallError(core::Format(_("De rechten van de map %s kunnen niet worden ingesteld: %s"),
                                             {install, core::SysErrorMessage(folder.Error)}));
        }
        for (const char* archive : {"main.zip", "upgrade.zip"}) RemoveStaleTemporaries(install, archive);
        for (const char* archive : {"main.zip", "upgrade.zip"}) UnpackArchive(*DownloadFile(archive, install), install);
      },
      true);
}

TStepResult TInstaller::CheckSignedList(bool withData) {
  BeginStep(0);
  return Guarded(
      [&] {
        // The silent mode's first step: a second installer into the folder stops here.
        TakeInstallLock();
        if (!Verifying()) return;
        UseProxyChoice();
        RequireSignedLines({"main.zip", "upgrade.zip"});
        if (withData) RequireSignedLines({"data.zip"});
      },
      false);
}

TStepResult TInstaller::RunDataStep() {
  const std::string data = DataFolder();
  TStepResult result = TStepResult::srCompleted;
  if (std::optional<std::string> why = DataFolderProblem(data)) {
    if (OnErrorBox) OnErrorBox(*why);
    return TStepResult::srRejected;
  }
  BeginStep(1);
  // A second run must not wipe the shop's data without a word: asked, and kept by default.
  const bool keepData = Options.DataChoice == TDataChoice::dcServer && !Options.ReplaceData && HoldsDataFile(data) &&
                        !(OnReplaceDataQuery && OnReplaceDataQuery(ReplaceDataQuestion(data)));
  if (Options.DataChoice == TDataChoice::dcServer && !keepData) {
    result = Guarded(
        [&] {
          TakeInstallLock();
          UseProxyChoice();
          RequireSignedLines({"data.zip"});
          FLastCreateFolderError = ForceDirectories(data);
          ForceDirectories(data + "FOTO");
          RemoveStaleTemporaries(data, "data.zip");
          UnpackArchive(*DownloadFile("data.zip", data), data);
        },
        false);
    if (result == TStepResult::srCancelled) return result;
  } else if (Options.DataChoice == TDataChoice::dcWorkstation && !HoldsDataFile(data)) {
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
