// A GET that survives real networks: a transfer that breaks mid-body is continued with
// "Range: bytes=N-" and "If-Range" (the ETag, else Last-Modified) and spliced only when the
// 206's Content-Range starts at N; a 200 instead starts the body over from the stream's
// start, and a 206 that starts elsewhere is refused and fetched whole again. Failures that a
// later try may not meet (connection refused or reset, time-outs, a cut stream, 408, 429,
// 500, 502, 503, 504) are tried again after 1, 2, 4 ... s with a little jitter, or after
// the server's Retry-After up to 60 s; anything else, a longer Retry-After included, is
// final at once. netget --retry and the installer share it.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "core/stream.h"
#include "http/http_client.h"

namespace tarvo::http {

// Whether a failure may go away on its own, and after how long at the least (milliseconds,
// -1 when it is final).
int RetryDelayFor(const std::exception& e, TNetHTTP& http);
// The wait a Retry-After value asks for (delta-seconds or an HTTP date), -1 when there is
// none or it cannot be read.
int RetryAfterMS(const std::string& value);

class TNetResumableDownload {
public:
  explicit TNetResumableDownload(TNetHTTP& http) : FHTTP(http) {}

  // Tries after the first that may be made (netget --retry; 0: none).
  int Retries = 0;
  // The longest Retry-After honoured; a longer one is final.
  int MaxRetryAfterMS = 60'000;
  // Before each wait: the try that failed (1 = the first), the wait, and why.
  std::function<void(int attempt, int delayMS, const std::string& why)> OnRetry;
  // Waits delayMS, the default by sleeping; a program with a window waits with it live and
  // raises its own cancellation from here.
  std::function<void(int delayMS)> OnWait;
  // The body starts again from the stream's start (a 200 answered the range, or none could
  // be asked for): what was computed over the bytes so far (a digest) must start over too.
  std::function<void()> OnRestart;

  // The GET of url into stream from its position; raises the last failure. A stream that
  // cannot seek back (standard output) can only be continued, never started over.
  void Get(const std::string& url, core::TStream& stream);

  // Bytes received twice in the last Get: a body started over after it had begun.
  std::int64_t RefetchedBytes() const noexcept { return FRefetched; }
  // Bytes of the body already in the stream when the current reply began: where a 206 that
  // continues it starts, 0 for a whole one.
  std::int64_t ResumedAt() const noexcept { return FResumedAt; }
  // Tries made by the last Get (1 when the first succeeded).
  int Attempts() const noexcept { return FAttempts; }

private:
  void StartOver(core::TStream& stream, std::int64_t origin, std::int64_t& have);
  TNetHTTP& FHTTP;
  std::int64_t FRefetched = 0;
  std::int64_t FResumedAt = 0;
  int FAttempts = 0;
};

}  // namespace tarvo::http
