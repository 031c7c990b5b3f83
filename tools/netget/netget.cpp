// netget: fetches a URL with the HTTP client and writes the body to a file or stdout.
//
//   netget URL [-o FILE] [--proxy HOST:PORT] [--follow] [--http1.0] [-v]
//
// A progress bar is drawn on stderr when stderr is a terminal. On failure the exception's
// message is printed as it is and the exit status is 1.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "core/exception.h"
#include "core/file_stream.h"
#include "http/header_info.h"
#include "http/http_client.h"

using namespace tarvo;

namespace {

struct TOptions {
  std::string URL;
  std::string Output;
  std::string Proxy;
  bool Follow = false;
  bool HTTP10 = false;
  bool Verbose = false;
};

int Usage() {
  std::cerr << "usage: netget URL [-o FILE] [--proxy HOST:PORT] [--follow] [--http1.0] [-v]\n";
  return 2;
}

bool ParseArgs(int argc, char** argv, TOptions& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-o" && i + 1 < argc) {
      o.Output = argv[++i];
    } else if (a == "--proxy" && i + 1 < argc) {
      o.Proxy = argv[++i];
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
  return !o.URL.empty();
}

std::string Size(std::int64_t bytes) {
  char buf[32];
  if (bytes >= 1024 * 1024)
    std::snprintf(buf, sizeof buf, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  else
    std::snprintf(buf, sizeof buf, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return buf;
}

// Draws the transfer's progress from the client's read work notifications.
class TProgressBar {
public:
  void Begin(std::int64_t total) {
    FTotal = total;
    FLast = {};
    Draw(0, true);
  }
  void Work(std::int64_t done) { Draw(done, false); }
  void End() {
    Draw(FDone, true);
    std::fputc('\n', stderr);
  }

private:
  void Draw(std::int64_t done, bool force) {
    FDone = done;
    auto now = std::chrono::steady_clock::now();
    if (!force && now - FLast < std::chrono::milliseconds(100)) return;
    FLast = now;
    constexpr int width = 40;
    if (FTotal > 0) {
      int filled = static_cast<int>(static_cast<double>(done) / static_cast<double>(FTotal) * width);
      if (filled > width) filled = width;
      std::fprintf(stderr, "\r[%s%s] %3d%% %s / %s ", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                   std::string(static_cast<std::size_t>(width - filled), ' ').c_str(),
                   static_cast<int>(done * 100 / FTotal), Size(done).c_str(), Size(FTotal).c_str());
    } else {
      std::fprintf(stderr, "\r%s ", Size(done).c_str());
    }
    std::fflush(stderr);
  }

  std::int64_t FTotal = 0;
  std::int64_t FDone = 0;
  std::chrono::steady_clock::time_point FLast;
};

// Standard output as a forward-only stream: a pipe cannot seek, and the client only ever
// asks for the position it is at.
class TStdoutStream : public core::TStream {
public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void* buffer, std::size_t count) override {
    const char* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      ssize_t n = ::write(1, p + done, count - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    FPosition += static_cast<std::int64_t>(done);
    return done;
  }
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override {
    std::int64_t target = origin == core::TSeekOrigin::soCurrent ? FPosition + offset : offset;
    if (origin == core::TSeekOrigin::soEnd) target = FPosition + offset;
    if (target != FPosition) throw core::EStreamError("Standard output cannot seek");
    return FPosition;
  }
  void SetSize(std::int64_t size) override {
    if (size != FPosition) throw core::EStreamError("Standard output cannot seek");
  }

private:
  std::int64_t FPosition = 0;
};

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseArgs(argc, argv, options)) return Usage();

  http::TNetHTTP client;
  client.SetHandleRedirects(options.Follow);
  if (options.HTTP10) client.SetProtocolVersion(http::pv1_0);
  if (!options.Proxy.empty()) {
    std::size_t colon = options.Proxy.rfind(':');
    if (colon == std::string::npos) return Usage();
    client.ProxyParams().SetProxyServer(options.Proxy.substr(0, colon));
    client.ProxyParams().SetProxyPort(std::atoi(options.Proxy.c_str() + colon + 1));
  }

  TProgressBar bar;
  if (::isatty(2)) {
    client.OnWorkBegin = [&](net::TNetComponent*, net::TWorkMode mode, std::int64_t total) {
      if (mode == net::wmRead) bar.Begin(total);
    };
    client.OnWork = [&](net::TNetComponent*, net::TWorkMode mode, std::int64_t done) {
      if (mode == net::wmRead) bar.Work(done);
    };
    client.OnWorkEnd = [&](net::TNetComponent*, net::TWorkMode mode) {
      if (mode == net::wmRead) bar.End();
    };
  }
  if (options.Verbose) {
    client.OnHeadersAvailable = [](http::TNetCustomHTTP* sender, http::TNetHeaderList& headers, bool&) {
      http::TNetHTTPRequest& request = sender->Request();
      std::cerr << "> " << request.Method() << " " << request.URL() << " HTTP/"
                << (sender->ProtocolVersion() == http::pv1_0 ? "1.0" : "1.1") << "\n";
      for (const std::string& line : request.RawHeaders().Lines()) std::cerr << "> " << line << "\n";
      std::cerr << "< " << sender->ResponseText() << "\n";
      for (const std::string& line : headers.Lines()) std::cerr << "< " << line << "\n";
    };
  }

  try {
    std::unique_ptr<core::TStream> out;
    if (options.Output.empty() || options.Output == "-")
      out = std::make_unique<TStdoutStream>();
    else
      out = std::make_unique<core::TFileStream>(options.Output, core::fmCreate);
    client.Get(options.URL, *out);
  } catch (const core::Exception& e) {
    std::cerr << e.Message() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
