// A whole Get against an in-memory peer that answers with the fuzzer's bytes. The first
// byte picks client options and how the bytes are cut into receives.
#include <cstdint>
#include <string>

#include "core/memory_stream.h"
#include "http/http_client.h"
#include "net/net_io_handler_memory.h"

using namespace tarvo;
using namespace tarvo::http;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::uint8_t flags = data[0];
  std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
  net::TNetIOHandlerMemory peer;
  std::size_t piece = (flags >> 5) == 0 ? reply.size() + 1 : (flags >> 5) * 3;
  for (std::size_t at = 0; at < reply.size(); at += piece) peer.QueueInput(std::string_view(reply).substr(at, piece));
  peer.QueuePeerClose();

  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetHandleRedirects(flags & 1);
  if (flags & 2) http.SetProtocolVersion(pv1_0);
  TNetHTTPOptions options = http.HTTPOptions();
  if (flags & 4) options |= hoWaitForUnexpectedData;
  if (flags & 8) options |= hoTreat302Like303 | hoNoProtocolErrorException;
  if (flags & 16) options |= hoNoParseMetaHTTPEquiv;
  http.SetHTTPOptions(options);
  core::TMemoryStream body;
  try {
    http.Get("http://fuzz.example/tarvo/Files/main.zip", body, {404});
  } catch (const core::Exception&) {
  }
  // Whatever happened, the stream holds no more than the peer sent.
  if (body.Size() > static_cast<std::int64_t>(reply.size())) __builtin_trap();
  http.SetIOHandler(nullptr);
  return 0;
}
