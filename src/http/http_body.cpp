// The response body: whether one follows, how it is delimited (length, chunks or the peer's
// close), where it goes, and the optional decoding and META scanning afterwards.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "core/memory_stream.h"
#include "core/resource_string.h"
#include "core/scope_guard.h"
#include "http/capped_stream.h"
#include "http/chunk_framer.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "http/http_io_handler.h"
#include "http/http_strings.h"
#include "net/net_exception.h"

namespace tarvo::http {

namespace {

bool IsChunked(const TNetEntityHeaderInfo& h) { return LowerCase(h.TransferEncoding()).find("chunked") != std::string::npos; }

bool IsHTMLType(std::string_view type) {
  std::string t = LowerCase(Trim(type));
  return t == "text/html" || t == "text/html-sandboxed" || t == "application/xhtml+xml";
}

// Begins read work on a component and returns the guard that ends it. Disabled, it reports
// nothing, and the byte counts reported meanwhile fall outside any pair.
auto ReadWork(net::TNetComponent& c, std::int64_t total, bool enabled) {
  if (enabled) c.BeginWork(net::wmRead, total);
  net::TNetComponent* target = enabled ? &c : nullptr;
  return core::TScopeGuard([target] {
    if (target != nullptr) target->EndWork(net::wmRead);
  });
}

}  // namespace

// A response body as a stream to read from, delimited by its length, its chunks or the
// peer's close. A decoder pulls the encoded body through it, so a compressed body passes
// through a bounded buffer instead of being held whole before it is decoded.
class TNetBodySource : public core::TStream {
public:
  // length: the announced length, or -1 to read until the peer closes; ignored when chunked.
  TNetBodySource(TNetCustomHTTP& http, TNetHTTPResponse& response, bool chunked, std::int64_t length)
      : FHTTP(http), FRemaining(chunked ? 0 : length) {
    if (chunked) FChunks.emplace(http.MakeChunkFramer(response));
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    if (count == 0 || !NextData()) return 0;
    net::TNetBuffer& input = FHTTP.IOHandler()->InputBuffer();
    std::size_t take = std::min<std::size_t>(count, static_cast<std::size_t>(input.Size()));
    if (FRemaining >= 0 && static_cast<std::int64_t>(take) > FRemaining) take = static_cast<std::size_t>(FRemaining);
    std::memcpy(buffer, input.Data(), take);
    input.Remove(static_cast<int>(take));
    if (FRemaining >= 0) FRemaining -= static_cast<std::int64_t>(take);
    if (FChunks) FChunks->DataTaken(static_cast<std::int64_t>(take));
    return take;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return 0; }

  // Reads what a decoder left of the body, so that the connection stands at the next response.
  void Drain() {
    std::uint8_t scrap[16384];
    while (Read(scrap, sizeof scrap) > 0) {
    }
  }

private:
  // True when body bytes wait in the input buffer; false at the end of the body.
  bool NextData() {
    if (FEnded) return false;
    if (FChunks && FRemaining == 0) {
      FHTTP.FeedReader(*FChunks);
      if (FChunks->Done()) {
        FEnded = true;
        return false;
      }
      FRemaining = FChunks->DataRemaining();
    }
    if (FRemaining == 0) {
      FEnded = true;
      return false;
    }
    net::TNetIOHandler* io = FHTTP.IOHandler();
    if (io == nullptr) {
      if (FRemaining < 0) return false;
      throw net::ENetConnClosedGracefully();
    }
    while (io->InputBuffer().Size() == 0) {
      int received = io->FillInputBuffer(false, net::NetTimeoutDefault, true);
      if (io->InputBuffer().Size() > 0) break;
      if (received > 0) continue;
      if (FRemaining >= 0) throw net::ENetConnClosedGracefully();
      FEnded = true;
      return false;
    }
    return true;
  }

  TNetCustomHTTP& FHTTP;
  std::optional<TNetChunkFramer> FChunks;  // the framing of a chunked body
  bool FEnded = false;
  std::int64_t FRemaining;  // of the body or the current chunk; -1 = until the peer closes
};

bool TNetCustomHTTP::BodyExpected(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  if (!IsChunked(response) && response.HasContentLength() && response.ContentLength() <= 0) return false;
  int code = response.ResponseCode();
  bool head = SameText(request.Method(), "HEAD") || SameText(request.MethodOverride(), "HEAD");
  auto dataPending = [&](int timeoutMS) {
    net::TNetIOHandler* io = IOHandler();
    if (io == nullptr) return false;
    if (io->InputBufferIsEmpty()) io->CheckForDataOnSource(timeoutMS);
    return !io->InputBufferIsEmpty();
  };
  if (!head && code / 100 != 1 && code != 204 && code != 304) {
    // A redirect may or may not come with a body; a server that sends none and keeps the
    // connection open gets a few seconds.
    if (code / 100 == 3) return dataPending(FLimits.RedirectBodyWaitMS);
    return true;
  }
  return HasOption(hoWaitForUnexpectedData) && dataPending(FLimits.UnexpectedDataWaitMS);
}

void TNetCustomHTTP::CopyBody(core::TStream* target, std::int64_t count) {
  net::TNetIOHandler* io = IOHandler();
  if (io == nullptr) {
    if (count < 0) return;
    throw net::ENetConnClosedGracefully();
  }
  auto work = ReadWork(*io, count < 0 ? 0 : count, FReportBodyWork);
  CopyBodyBytes(*io, target, count);
  work.Run();
}

void TNetCustomHTTP::CopyBodyBytes(net::TNetIOHandler& ioHandler, core::TStream* target, std::int64_t count) {
  net::TNetIOHandler* io = &ioHandler;
  std::int64_t remaining = count;
  net::TNetBuffer& buffer = io->InputBuffer();
  auto* direct = dynamic_cast<TNetHTTPIOHandler*>(io);
  while (count < 0 || remaining > 0) {
    if (buffer.Size() == 0 && direct != nullptr) {
      auto want = static_cast<std::size_t>(FLimits.BodyReceiveSize);
      if (count >= 0 && remaining < static_cast<std::int64_t>(want)) want = static_cast<std::size_t>(remaining);
      int received = direct->ReceiveDirect(want);
      if (received > 0) {
        if (target != nullptr) target->WriteBuffer(direct->DirectData(), static_cast<std::size_t>(received));
        remaining -= received;
        net::TNetAntiFreezeBase::DoProcess();
        continue;
      }
      if (received == 0) {
        if (count < 0) return;
        throw net::ENetConnClosedGracefully();
      }
      direct = nullptr;  // an intercept wants every byte: use the input buffer
    }
    if (buffer.Size() == 0) {
      int received = io->FillInputBuffer(false, net::NetTimeoutDefault, true);
      if (buffer.Size() == 0) {
        if (received > 0) continue;
        // The peer closed. Reading to the close ends here; a counted body that falls short
        // is a failure, never a complete download.
        if (count < 0) return;
        throw net::ENetConnClosedGracefully();
      }
    }
    int take = buffer.Size();
    if (count >= 0 && remaining < take) take = static_cast<int>(remaining);
    // Straight from the input buffer to the destination: no copy in between.
    if (target != nullptr) target->WriteBuffer(buffer.Data(), static_cast<std::size_t>(take));
    buffer.Remove(take);
    remaining -= take;
    net::TNetAntiFreezeBase::DoProcess();
  }
}

TNetChunkFramer TNetCustomHTTP::MakeChunkFramer(TNetHTTPResponse& response) {
  // The trailer is a header block like the head and is bounded like it.
  return TNetChunkFramer(LineRules(), FLimits.HeaderLineBound(), FLimits.ResponseHeaderBytes, response.RawHeaders());
}

void TNetCustomHTTP::ReadChunkedBody(TNetHTTPResponse& response, core::TStream* target) {
  ReportStatus(net::hsStatusText, {core::LoadResString(SChunkStarted)});
  auto work = ReadWork(*this, 0, FReportBodyWork);
  TNetChunkFramer chunks = MakeChunkFramer(response);
  for (FeedReader(chunks); !chunks.Done(); FeedReader(chunks)) {
    CopyBody(target, chunks.DataRemaining());
    chunks.DataTaken(chunks.DataRemaining());
  }
  work.Run();
}

void TNetCustomHTTP::ReadResponseBody(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  if (!BodyExpected(request, response)) return;
  core::TStream* content = response.ContentStream();

  // META declarations are read from the start of an HTML body while the body itself streams
  // to its destination.
  std::unique_ptr<TNetTeeStream> tee;
  if (content != nullptr && !HasOption(hoNoParseMetaHTTPEquiv) && IsHTMLType(response.ContentType())) {
    tee = std::make_unique<TNetTeeStream>(*content, FLimits.MetaScanBytes);
    content = tee.get();
  }

  int decoding = 0;
  if (FCompressor != nullptr && FCompressor->IsReady()) {
    if (SameText(Trim(response.ContentEncoding()), "deflate")) decoding = 1;
    if (SameText(Trim(response.ContentEncoding()), "gzip")) decoding = 2;
  }

  if (content != nullptr && decoding != 0 && IOHandler() != nullptr) {
    // The decoder pulls the encoded body from the connection and writes the decoded bytes
    // to the destination as it goes.
    bool chunked = IsChunked(response);
    std::int64_t length = chunked || response.HasContentLength() ? response.ContentLength() : -1;
    auto work = ReadWork(*IOHandler(), length < 0 ? 0 : length, FReportBodyWork);
    TNetBodySource source(*this, response, chunked, length);
    if (decoding == 1)
      FCompressor->DecompressDeflateStream(source, *content);
    else
      FCompressor->DecompressGZipStream(source, *content);
    source.Drain();
    work.Run();
  } else if (!IsChunked(response)) {
    if (response.ContentLength() > 0)
      CopyBody(content, response.ContentLength());
    else if (!response.HasContentLength())
      CopyBody(content, -1);
  } else {
    ReadChunkedBody(response, content);
  }

  if (tee) response.ProcessMetaHTTPEquiv(tee->Head());
}

void TNetCustomHTTP::DiscardResponseBody(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  core::TScopeGuard restore([&response, saved = response.ContentStream()] { response.SetContentStream(saved); });
  response.SetContentStream(nullptr);
  auto quiet = SilenceBodyWork();
  ReadResponseBody(request, response);
  restore.Run();
}

}  // namespace tarvo::http
