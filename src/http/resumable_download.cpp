#include "http/resumable_download.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <random>
#include <thread>

#include "core/scope_guard.h"
#include "http/char_encoding.h"
#include "http/http_exception.h"
#include "http/internet_date.h"
#include "net/net_exception.h"
#include "net/net_socket_errors.h"

namespace tarvo::http {

namespace {

// Socket errors of a network that may come back: refused, reset, aborted, timed out, a
// network or host out of reach for the moment.
bool TransientSocketError(int code) {
  for (int transient : {net::Net_WSAENETDOWN, net::Net_WSAENETUNREACH, net::Net_WSAENETRESET, net::Net_WSAECONNABORTED,
                        net::Net_WSAECONNRESET, net::Net_WSAETIMEDOUT, net::Net_WSAECONNREFUSED, net::Net_WSAEHOSTDOWN,
                        net::Net_WSAEHOSTUNREACH})
    if (code == transient) return true;
  return false;
}

bool TransientStatus(int code) {
  return code == 408 || code == 429 || code == 500 || code == 502 || code == 503 || code == 504;
}

// A strong validator for If-Range: a weak ETag never matches there (RFC 9110 13.1.5).
std::string ValidatorOf(TNetHTTPResponse& response) {
  const std::string etag = std::string(Trim(response.RawHeaders().Values("ETag")));
  if (!etag.empty() && etag.rfind("W/", 0) != 0) return etag;
  return std::string(Trim(response.RawHeaders().Values("Last-Modified")));
}

}  // namespace

int RetryAfterMS(const std::string& value) {
  const std::string_view text = Trim(value);
  if (text.empty()) return -1;
  if (text.find_first_not_of("0123456789") == std::string_view::npos) {
    // Anything past a million seconds is "longer than we wait" all the same.
    if (text.size() > 6) return std::numeric_limits<int>::max();
    return std::stoi(std::string(text)) * 1000;
  }
  TNetDateTime when;
  if (!InternetStrToDateTime(text, when)) return -1;
  const TNetDateTime seconds = when - NetNow();
  if (seconds <= 0) return 0;
  return seconds > 1'000'000 ? std::numeric_limits<int>::max() : static_cast<int>(seconds) * 1000;
}

int RetryDelayFor(const std::exception& e, TNetHTTP& http) {
  if (const auto* protocol = dynamic_cast<const ENetHTTPProtocolException*>(&e)) {
    if (!TransientStatus(protocol->ErrorCode())) return -1;
    return std::max(0, RetryAfterMS(http.Response().RawHeaders().Values("Retry-After")));
  }
  if (const auto* socket = dynamic_cast<const net::ENetSocketError*>(&e))
    return TransientSocketError(socket->LastError()) ? 0 : -1;
  if (dynamic_cast<const net::ENetConnClosedGracefully*>(&e) || dynamic_cast<const net::ENetReadTimeout*>(&e) ||
      dynamic_cast<const net::ENetConnectTimeout*>(&e) || dynamic_cast<const net::ENetStreamCut*>(&e) ||
      dynamic_cast<const net::ENetClosedSocket*>(&e) || dynamic_cast<const net::ENetNotConnected*>(&e))
    return 0;
  return -1;
}

void TNetResumableDownload::StartOver(core::TStream& stream, std::int64_t origin, std::int64_t& have) {
  if (have == 0 && stream.Position() == origin) return;
  stream.SetPosition(origin);
  stream.SetSize(origin);
  FRefetched += have;
  have = 0;
  if (OnRestart) OnRestart();
}

void TNetResumableDownload::Get(const std::string& url, core::TStream& stream) {
  FRefetched = FResumedAt = 0;
  FAttempts = 0;
  const std::int64_t origin = stream.Position();
  std::int64_t have = 0;    // bytes of the entity in the stream
  std::int64_t total = -1;  // its whole length, once a reply said it
  std::string validator;
  bool rangeRefused = false;
  std::mt19937 jitter(std::random_device{}());

  TNetHTTPRequest& request = FHTTP.Request();
  const TNetHeadersAvailableEvent chained = FHTTP.OnHeadersAvailable;
  bool ranged = false, bodyTaken = false;
  // Whether the reply's body may go into the stream where it stands, decided before the
  // first byte of it is written.
  FHTTP.OnHeadersAvailable = [&](TNetCustomHTTP* sender, TNetHeaderList& headers, bool& proceed) {
    if (chained) chained(sender, headers, proceed);
    if (!proceed) return;
    TNetHTTPResponse& response = FHTTP.Response();
    const int code = response.ResponseCode();
    if (code == 206 && ranged) {
      const bool fits = SameText(response.ContentRangeUnits(), "bytes") && response.ContentRangeStart() == have &&
                        (total < 0 || !response.HasContentRangeInstance() || response.ContentRangeInstanceLength() == total);
      if (!fits) {
        // Not the rest of what we have: nothing of it is spliced, and it is fetched whole.
        rangeRefused = true;
        proceed = false;
        return;
      }
      FResumedAt = have;
      bodyTaken = true;
    } else if (code == 200) {
      // The whole entity again (the range was ignored, or the file changed meanwhile).
      StartOver(stream, origin, have);
      FResumedAt = 0;
      validator = ValidatorOf(response);
      total = response.HasContentLength() ? response.ContentLength() : -1;
      bodyTaken = true;
    }
  };
  core::TScopeGuard restore([&] {
    FHTTP.OnHeadersAvailable = chained;
    request.Ranges().Clear();
    request.CustomHeaders().SetValue("If-Range", "");
  });

  for (int delayMS = 1000;;) {
    ++FAttempts;
    ranged = have > 0 && !validator.empty() && !rangeRefused;
    if (have > 0 && !ranged) StartOver(stream, origin, have);
    rangeRefused = bodyTaken = false;
    request.Ranges().Clear();
    request.CustomHeaders().SetValue("If-Range", "");
    if (ranged) {
      request.Ranges().Add().StartPos = have;
      request.CustomHeaders().SetValue("If-Range", validator);
    }
    const std::int64_t before = stream.Position();
    try {
      FHTTP.Get(url, stream);
      if (rangeRefused) {
        FHTTP.Disconnect();
        continue;  // at once, whole: not a failure of the network
      }
      return;
    } catch (const std::exception& e) {
      // Only the entity's own bytes stay: an error page, or a reply that was not taken, goes.
      if (bodyTaken) {
        have = stream.Position() - origin;
      } else if (stream.Position() != before) {
        stream.SetPosition(before);
        stream.SetSize(before);
      }
      const int atLeast = RetryDelayFor(e, FHTTP);
      if (atLeast < 0 || atLeast > MaxRetryAfterMS || FAttempts > Retries) throw;
      // 1, 2, 4 ... s, each up to a tenth longer, so that clients cut off together do not
      // come back together; never sooner than the server asked.
      const int wait = std::max(atLeast, delayMS + static_cast<int>(jitter() % (delayMS / 10 + 1)));
      delayMS = std::min(delayMS * 2, 60'000);
      const auto* own = dynamic_cast<const core::Exception*>(&e);
      if (OnRetry) OnRetry(FAttempts, wait, own != nullptr ? own->Message() : std::string(e.what()));
      if (OnWait)
        OnWait(wait);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
  }
}

}  // namespace tarvo::http
