// netget: fetches a URL with the HTTP client and writes the body to a file or stdout.
//
//   netget URL [-o FILE] [--proxy HOST:PORT] [--follow] [--http1.0] [-v]
//              [--connect-timeout SECONDS] [--read-timeout SECONDS]
//              [--user USER[:PASSWORD]] [--proxy-user USER[:PASSWORD]] [--sha256 HEX]
//              [--cacert FILE] [--insecure] [--retry N]
//
// https is TLS 1.2 or 1.3 with the server's certificate checked against the system's roots
// (or those of --cacert instead) and the name or address in the URL.
//
// Credentials answer the server's (or proxy's) challenge: Basic, Digest or NTLM. They may
// also come from NETGET_USER and NETGET_PROXY_USER; without a password they are asked for
// on the terminal, so that a password need not show in the process list. Cookies the
// server sets are sent back on the redirects that follow.
//
// A progress bar is drawn on stderr when stderr is a terminal. The body goes to a temporary
// file beside FILE, which replaces FILE only when the whole download succeeded: a failed
// download leaves FILE as it was, and a symbolic link at FILE is replaced, not written
// through. A FIFO or device at FILE is written to directly. On failure the message (text from
// the server made safe for a terminal) is printed and the exit status is 1. Connecting and
// each wait for data are limited (30 and 60 seconds unless changed; 0 means no limit).
//
// With --sha256 the file is replaced only when the body's SHA-256 is HEX; the digest is taken
// as the bytes arrive. Standard output, a FIFO or a device cannot take back what they were
// given before the digest is known, so they are refused with it as a wrong command line.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/scope_guard.h"
#include "http/auth_secret.h"
#include "platform/dll_search.h"
#include "core/exception.h"
#include "core/file_stream.h"
#include "core/port_text.h"
#include "http/authentication.h"
#include "http/char_encoding.h"
#include "http/header_info.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "http/response_text.h"
#include "http/resumable_download.h"
#include "netget_system.h"
#include "platform/console.h"
#include "platform/replacing_file.h"
#include "platform/system_crypto.h"
#include "sha256_stream.h"
#include "tls/tls_io_handler.h"

using namespace tarvo;
using namespace netget;

namespace {

// Longest text from the server shown in one message or header line.
constexpr std::size_t kShownChars = 300;

struct TOptions {
  std::string URL;
  std::string Output;
  std::string Proxy;
  bool Follow = false;
  bool HTTP10 = false;
  bool Verbose = false;
  std::string User;       // USER[:PASSWORD]
  std::string ProxyUser;
  int ConnectTimeoutMS = 30000;
  int ReadTimeoutMS = 60000;
  std::optional<platform::TSha256Digest> Sha256;  // the body's expected digest
  int Retries = 0;        // tries after the first
  std::string CAFile;     // the roots to trust for https instead of the system's
  bool Insecure = false;  // no certificate check
  bool Help = false;
};

void ShowUsage(std::ostream& to) {
  to << "usage: netget URL [-o FILE] [--proxy HOST:PORT] [--follow] [--http1.0] [-v]\n"
        "              [--connect-timeout SECONDS] [--read-timeout SECONDS]\n"
        "              [--user USER[:PASSWORD]] [--proxy-user USER[:PASSWORD]] [--sha256 HEX]\n"
        "              [--cacert FILE] [--insecure] [--retry N]\n"
        "  --sha256 HEX  replace FILE only when the body's SHA-256 is HEX (64 hexadecimal digits)\n"
        "  --cacert FILE for https, trust the certificate authorities in FILE (PEM) instead of\n"
        "                the system's\n"
        "  --retry N     try again up to N times (0 to 100) when the network or the server\n"
        "                fails for the moment, continuing a broken transfer where it stopped\n"
        "  --insecure    do not check the server's certificate: anyone on the way can read and\n"
        "                change the download; refused with --user\n"
        "  --user, --proxy-user  a PASSWORD given here can be read in the process list by other\n"
        "                users of the machine (on Windows for as long as netget runs): leave it out\n"
        "                to be asked for it, or set NETGET_USER / NETGET_PROXY_USER\n";
}

int Usage() {
  ShowUsage(std::cerr);
  return 2;
}

// A wrong command line that the usage alone would not explain.
int Usage(const std::string& why) {
  std::cerr << "netget: " << why << "\n";
  return Usage();
}

// A whole number in [min, max]; false for anything else.
bool ParseNumber(const std::string& text, long min, long max, long& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stol(text);
  return value >= min && value <= max;
}

bool ParseSeconds(const std::string& text, int& ms) {
  long seconds;
  if (!ParseNumber(text, 0, 86400, seconds)) return false;
  ms = static_cast<int>(seconds * 1000);
  return true;
}

// False for a wrong command line; why then says what the usage alone would not.
bool ParseArgs(std::vector<std::string>& argv, TOptions& o, std::string& why) {
  const int argc = static_cast<int>(argv.size());
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help") {
      o.Help = true;
      return true;
    } else if (a == "--sha256" && i + 1 < argc) {
      platform::TSha256Digest digest;
      if (!ParseSha256(argv[++i], digest)) {
        why = "--sha256 takes 64 hexadecimal digits, not \"" + http::DisplayText(argv[i], kShownChars) + "\"";
        return false;
      }
      o.Sha256 = digest;
    } else if (a == "-o" && i + 1 < argc) {
      o.Output = argv[++i];
    } else if (a == "--connect-timeout" && i + 1 < argc) {
      if (!ParseSeconds(argv[++i], o.ConnectTimeoutMS)) return false;
    } else if (a == "--read-timeout" && i + 1 < argc) {
      if (!ParseSeconds(argv[++i], o.ReadTimeoutMS)) return false;
    } else if (a == "--proxy" && i + 1 < argc) {
      o.Proxy = argv[++i];
    } else if ((a == "--user" || a == "--proxy-user") && i + 1 < argc) {
      (a == "--user" ? o.User : o.ProxyUser) = argv[++i];
      // No copy of the password stays in the arguments, ours or the system's.
      std::size_t colon = argv[i].find(':');
      if (colon != std::string::npos) {
        argv[i].replace(colon + 1, std::string::npos, argv[i].size() - colon - 1, '*');
        HideArgumentText(static_cast<std::size_t>(i), colon + 1);
      }
    } else if (a == "--retry" && i + 1 < argc) {
      long n;
      if (!ParseNumber(argv[++i], 0, 100, n)) return false;
      o.Retries = static_cast<int>(n);
    } else if (a == "--cacert" && i + 1 < argc) {
      o.CAFile = argv[++i];
    } else if (a == "--insecure") {
      o.Insecure = true;
    } else if (a == "--follow") {
      o.Follow = true;
    } else if (a == "--http1.0") {
      o.HTTP10 = true;
    } else if (a == "-v") {
      o.Verbose = true;
    } else if (!a.empty() && a[0] != '-' && o.URL.empty()) {
      o.URL = a;
    } else {
      return false;
    }
  }
  if (o.URL.empty()) return false;
  if (o.Insecure && !o.User.empty()) {
    why = "--insecure with --user would give the password to whoever answers";
    return false;
  }
  if (o.Sha256 && (o.Output.empty() || o.Output == "-")) {
    why = "--sha256 needs -o FILE: a body on standard output cannot be taken back on a mismatch";
    return false;
  }
  if (o.Sha256 && IsDeviceOutput(o.Output)) {
    why = "--sha256 needs a file: " + http::DisplayText(o.Output, kShownChars) +
          " is a FIFO or device, which cannot take back what it was given";
    return false;
  }
  return true;
}

// USER[:PASSWORD] from the option, else from the environment variable; a missing password
// is asked for. False when neither gives a user.
bool Credentials(const std::string& option, const char* variable, const char* what, std::string& user,
                 std::string& password) {
  std::string text = option;
  if (text.empty())
    if (const char* env = std::getenv(variable)) text = env;
  if (text.empty()) return false;
  std::size_t colon = text.find(':');
  user = text.substr(0, colon);
  password = colon == std::string::npos ? AskPassword(std::string(what) + " password for " + user + ": ")
                                        : text.substr(colon + 1);
  http::WipeString(text);
  return true;
}

std::string Size(std::int64_t bytes) {
  char buf[32];
  if (bytes >= 1024 * 1024)
    std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  else
    std::snprintf(buf, sizeof buf, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return buf;
}

// Draws the transfer's progress from the client's read work notifications: the share, the
// bytes, the speed over the last seconds and the time left. A continued transfer counts the
// bytes it already had (Had, asked at the start of each reply).
class TProgressBar {
public:
  std::function<std::int64_t()> Had;

  void Begin(std::int64_t total) {
    FHad = Had ? Had() : 0;
    FTotal = total > 0 ? FHad + total : 0;
    FLast = {};
    FSamples.clear();
    Draw(0, true);
  }
  void Work(std::int64_t done) { Draw(done, false); }
  void End() {
    Draw(FDone - FHad, true);
    std::fputc('\n', stderr);
  }

private:
  void Draw(std::int64_t received, bool force) {
    const std::int64_t done = FHad + received;
    FDone = done;
    auto now = std::chrono::steady_clock::now();
    if (!force && now - FLast < std::chrono::milliseconds(100)) return;
    FLast = now;
    // The speed over the last five seconds or so: a stall shows at once, a burst fades.
    FSamples.emplace_back(now, received);
    while (FSamples.size() > 2 && now - FSamples[1].first >= std::chrono::seconds(5)) FSamples.pop_front();
    const double seconds = std::chrono::duration<double>(now - FSamples.front().first).count();
    const double speed = seconds >= 0.5 ? static_cast<double>(received - FSamples.front().second) / seconds : -1;
    std::string rate = speed >= 0 ? Size(static_cast<std::int64_t>(speed)) + "/s" : "";
    constexpr int width = 30;
    if (FTotal > 0) {
      int filled = static_cast<int>(static_cast<double>(done) / static_cast<double>(FTotal) * width);
      if (filled > width) filled = width;
      std::string left;
      if (speed > 0 && done < FTotal) {
        const auto secs = static_cast<std::int64_t>(static_cast<double>(FTotal - done) / speed);
        char text[32];
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld left", static_cast<long long>(secs / 3600),
                      static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
        left = text;
      }
      std::fprintf(stderr, "\r[%s%s] %3d%% %s / %s  %s  %s   ", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                   std::string(static_cast<std::size_t>(width - filled), ' ').c_str(),
                   static_cast<int>(done * 100 / FTotal), Size(done).c_str(), Size(FTotal).c_str(), rate.c_str(),
                   left.c_str());
    } else {
      std::fprintf(stderr, "\r%s  %s   ", Size(done).c_str(), rate.c_str());
    }
    std::fflush(stderr);
  }

  std::int64_t FTotal = 0;
  std::int64_t FDone = 0;
  std::int64_t FHad = 0;
  std::chrono::steady_clock::time_point FLast;
  std::deque<std::pair<std::chrono::steady_clock::time_point, std::int64_t>> FSamples;
};

// A pipe, FIFO or device as a forward-only stream: it cannot seek, and the client only ever
// asks for the position it is at.
class TForwardStream : public core::TStream {
public:
  explicit TForwardStream(TOutputHandle handle) : FHandle(handle) {}
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void* buffer, std::size_t count) override {
    const char* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      long n = WriteOutput(FHandle, p + done, count - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    FPosition += static_cast<std::int64_t>(done);
    return done;
  }
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override {
    std::int64_t target = origin == core::TSeekOrigin::soBeginning ? offset : FPosition + offset;
    if (target != FPosition) throw core::EStreamError("The output cannot seek");
    return FPosition;
  }
  void SetSize(std::int64_t size) override {
    if (size != FPosition) throw core::EStreamError("The output cannot seek");
  }

private:
  TOutputHandle FHandle;
  std::int64_t FPosition = 0;
};

// The body's digest is not the one asked for. Its message holds both digests whole.
class EDigestMismatch : public core::Exception {
public:
  using core::Exception::Exception;
};

// Where the body goes: standard output, a FIFO or device written directly, or a temporary
// file beside the target that Commit renames over it (when it has the expected digest).
class TOutput {
public:
  TOutput(const std::string& path, const std::optional<platform::TSha256Digest>& expected)
      : FPath(path), FExpected(expected) {
    // The command line was checked for these; a FIFO made at the name since then would
    // take an unchecked body.
    const std::string unchecked = "The SHA-256 cannot be checked before " + path + " takes the body";
    if (path.empty() || path == "-") {
      if (FExpected) throw core::Exception(unchecked);
      FStream = std::make_unique<TForwardStream>(StandardOutput());
      return;
    }
    bool failed = false;
    FHandle = OpenDeviceOutput(path, failed);
    if (failed) Fail("Cannot open " + path);
    if (FHandle != kNoOutput) {
      if (FExpected) {
        CloseOutput(FHandle);
        throw core::Exception(unchecked);
      }
      FStream = std::make_unique<TForwardStream>(FHandle);
      return;
    }
    std::size_t slash = path.find_last_of(kPathSeparators);
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    try {
      FFile = std::make_unique<platform::TReplacingFile>(path);
    } catch (const core::EFCreateError& e) {
      errno = e.ErrorCode();
      Fail("Cannot create a file in " + dir);
    }
    RemoveOnInterrupt(FFile->TemporaryName());
    if (FExpected) FChecked = std::make_unique<TSha256Stream>(*FFile);
  }
  ~TOutput() {
    CloseOutput(FHandle);
    RemoveOnInterrupt("");
  }
  core::TStream& Stream() {
    if (FChecked) return *FChecked;
    return FFile ? *FFile : *FStream;
  }
  // The download is complete: the temporary file takes the target's name. Raises
  // EDigestMismatch, the temporary file then removed by the destructor, when the body is
  // not the one expected.
  void Commit() {
    if (!FFile) return;
    if (FChecked) {
      const platform::TSha256Digest actual = FChecked->Digest();
      if (actual != *FExpected)
        throw EDigestMismatch("SHA-256 mismatch for " + FPath + ": expected " + platform::HexDigest(*FExpected) +
                              ", got " + platform::HexDigest(actual));
    }
    try {
      FFile->Commit();
    } catch (const core::EInOutError& e) {
      RemoveOnInterrupt("");
      errno = e.ErrorCode();
      Fail("Cannot write " + FPath);
    }
    RemoveOnInterrupt("");
  }

private:
  [[noreturn]] static void Fail(const std::string& what) {
    throw core::Exception(what + ": " + std::strerror(errno));
  }

  std::string FPath;
  std::optional<platform::TSha256Digest> FExpected;
  TOutputHandle FHandle = kNoOutput;
  std::unique_ptr<core::TStream> FStream;          // standard output, a FIFO or a device
  std::unique_ptr<platform::TReplacingFile> FFile;  // or a file
  std::unique_ptr<TSha256Stream> FChecked;          // in front of FFile when FExpected is set
};

}  // namespace

namespace {

// The client as the options ask for it; false when the proxy option is not HOST:PORT.
bool Configure(http::TNetHTTP& client, const TOptions& options) {
  client.SetHandleRedirects(options.Follow);
  client.SetConnectTimeout(options.ConnectTimeoutMS);
  // 0 means no limit to the transport, as to the user.
  client.SetReadTimeout(options.ReadTimeoutMS);
  if (options.HTTP10) client.SetProtocolVersion(http::pv1_0);
  if (options.Proxy.empty()) return true;
  std::size_t colon = options.Proxy.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::optional<std::uint16_t> port = core::ParsePort(std::string_view(options.Proxy).substr(colon + 1));
  if (!port) return false;
  client.ProxyParams().SetProxyServer(options.Proxy.substr(0, colon));
  client.ProxyParams().SetProxyPort(*port);
  return true;
}

void ShowProgress(http::TNetHTTP& client, TProgressBar& bar) {
  client.OnWorkBegin = [&bar](net::TNetComponent*, net::TWorkMode mode, std::int64_t total) {
    if (mode == net::wmRead) bar.Begin(total);
  };
  client.OnWork = [&bar](net::TNetComponent*, net::TWorkMode mode, std::int64_t done) {
    if (mode == net::wmRead) bar.Work(done);
  };
  client.OnWorkEnd = [&bar](net::TNetComponent*, net::TWorkMode mode) {
    if (mode == net::wmRead) bar.End();
  };
}

// A header line as -v shows it: credentials and cookies stay on the wire, not in a terminal's
// scroll-back or a pasted log. The scheme word of an authorization is kept, it helps.
std::string Redacted(const std::string& line) {
  std::size_t colon = line.find(':');
  if (colon == std::string::npos) return line;
  std::string_view name = http::Trim(std::string_view(line).substr(0, colon));
  std::string_view value = http::Trim(std::string_view(line).substr(colon + 1));
  if (http::SameText(name, "Authorization") || http::SameText(name, "Proxy-Authorization")) {
    std::size_t space = value.find(' ');
    return std::string(name) + ": " + std::string(value.substr(0, space)) + " <redacted>";
  }
  if (http::SameText(name, "Cookie")) return std::string(name) + ": <redacted>";
  return line;
}

void ShowExchange(http::TNetCustomHTTP* sender, http::TNetHeaderList& headers, bool&) {
  http::TNetHTTPRequest& request = sender->Request();
  std::cerr << "> " << http::DisplayText(request.Method() + " " + request.URL(), kShownChars) << " HTTP/"
            << (sender->ProtocolVersion() == http::pv1_0 ? "1.0" : "1.1") << "\n";
  for (const std::string& line : request.RawHeaders().Lines())
    std::cerr << "> " << http::DisplayText(Redacted(line), kShownChars) << "\n";
  if (auto* tls = dynamic_cast<tls::TNetTLSIOHandler*>(sender->IOHandler()); tls != nullptr && !tls->Protocol().empty())
    std::cerr << "* " << tls->Protocol() << " with " << http::DisplayText(tls->HostToCheck(), kShownChars) << "\n";
  std::cerr << "< " << http::DisplayText(sender->ResponseText(), kShownChars) << "\n";
  for (const std::string& line : headers.Lines()) std::cerr << "< " << http::DisplayText(line, kShownChars) << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  tarvo::platform::RestrictDllSearch();
  UseBinaryStandardStreams();
  std::vector<std::string> args = Arguments(argc, argv);
  TOptions options;
  std::string why;
  if (!ParseArgs(args, options, why)) return why.empty() ? Usage() : Usage(why);
  if (options.Help) {
    ShowUsage(std::cout);
    return 0;
  }
  // https goes through the TLS handler; http passes through it unencrypted.
  tls::TNetTLSIOHandler tls;
  tls.SetCAFile(options.CAFile);
  tls.SetInsecure(options.Insecure);
  http::TNetHTTP client;
  client.SetIOHandler(&tls);
  if (!Configure(client, options)) return Usage();
  if (options.Insecure)
    std::cerr << "netget: warning: --insecure: the server's certificate is not checked; anyone on the way "
                 "can read and change this download\n";
  std::string user, password;
  // Credentials from the environment to a server nobody checked: the same refusal.
  if (options.Insecure && std::getenv("NETGET_USER") != nullptr && *std::getenv("NETGET_USER") != '\0') {
    std::cerr << "netget: --insecure with NETGET_USER would give the password to whoever answers\n";
    return 2;
  }
  if (Credentials(options.User, "NETGET_USER", "Server", user, password)) {
    client.Request().SetUsername(user);
    client.Request().SetPassword(password);
  }
  std::string proxyUser, proxyPassword;
  // The copies of the passwords that are ours go once they are used (the client keeps its own).
  core::TScopeGuard wipe([&] {
    for (std::string* secret : {&options.User, &options.ProxyUser, &password, &proxyPassword}) http::WipeString(*secret);
  });
  if (Credentials(options.ProxyUser, "NETGET_PROXY_USER", "Proxy", proxyUser, proxyPassword)) {
    client.ProxyParams().SetProxyUsername(proxyUser);
    client.ProxyParams().SetProxyPassword(proxyPassword);
    // Proxy credentials go out only when the program answers for them.
    client.OnProxyAuthorization = [&](http::TNetCustomHTTP*, http::TNetAuthentication* auth, bool& handled) {
      auth->SetUsername(proxyUser);
      auth->SetPassword(proxyPassword);
      handled = true;
    };
  }
  // A challenge is answered within the one call; without credentials it ends in the error.
  client.SetHTTPOptions(client.HTTPOptions() | http::hoInProcessAuth);

  TProgressBar bar;
  if (platform::StderrIsTerminal()) ShowProgress(client, bar);
  if (options.Verbose) client.OnHeadersAvailable = &ShowExchange;

  InstallInterruptHandlers();
  try {
    TOutput out(options.Output, options.Sha256);
    http::TNetResumableDownload download(client);
    download.Retries = options.Retries;
    bar.Had = [&download] { return download.ResumedAt(); };
    download.OnRetry = [&options](int attempt, int delayMS, const std::string& why) {
      std::cerr << "netget: " << http::DisplayText(why, kShownChars, true) << "; trying again in "
                << (delayMS + 500) / 1000 << " s (" << attempt << " of " << options.Retries + 1 << " tries made)\n";
    };
    download.Get(options.URL, out.Stream());
    // Only a 2xx is a download. What else comes back without an exception is a redirect
    // chain that ran past the maximum, or a reply the client was told to accept.
    int code = client.ResponseCode();
    if (code / 100 == 3 && options.Follow)
      throw core::Exception("Too many redirects (" + std::to_string(client.RedirectCount()) +
                            "), the last: " + client.ResponseText());
    if (code / 100 != 2) throw core::Exception(client.ResponseText());
    out.Commit();
  } catch (const EDigestMismatch& e) {
    // Our own text around the user's file name: shown whole, a digest cut short says nothing.
    std::cerr << http::DisplayText(e.Message(), e.Message().size(), true) << "\n";
    return 1;
  } catch (const core::Exception& e) {
    std::cerr << http::DisplayText(e.Message(), kShownChars, true) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << http::DisplayText(e.what(), kShownChars, true) << "\n";
    return 1;
  }
  return 0;
}
