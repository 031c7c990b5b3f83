// A whole Get against an in-memory peer that answers with the fuzzer's bytes. The first
// byte picks client options and how the bytes are cut into receives; the second attaches a
// decoder that pulls the body, sends the request through a proxy tunnel with credentials,
// makes a second Get on the same connection, and answers challenges within the call.
#include <cstdint>
#include <string>

#include "core/memory_stream.h"
#include "http/http_client.h"
#include "net/net_io_handler_memory.h"

using namespace tarvo;
using namespace tarvo::http;

namespace {

// Copies the body in small pulls and stops early on a zero byte, as a decoder stops at the
// end of its stream.
class TPullingDecoder : public INetDecompressor {
public:
  bool IsReady() const override { return true; }
  void DecompressDeflateStream(core::TStream& source, core::TStream& destination) override { Copy(source, destination); }
  void DecompressGZipStream(core::TStream& source, core::TStream& destination) override { Copy(source, destination); }

private:
  static void Copy(core::TStream& source, core::TStream& destination) {
    char block[7];
    for (std::size_t n; (n = source.Read(block, sizeof block)) > 0;) {
      destination.WriteBuffer(block, n);
      if (std::string_view(block, n).find('\0') != std::string_view::npos) return;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::uint8_t flags = data[0], more = data[1];
  std::string reply(reinterpret_cast<const char*>(data + 2), size - 2);
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
  TPullingDecoder decoder;
  if (more & 1) http.SetCompressor(&decoder);
  if (more & 2) {
    http.ProxyParams().SetProxyServer("proxy.example");
    http.ProxyParams().SetProxyPort(3128);
    http.ProxyParams().SetProxyUsername("u");
    http.ProxyParams().SetBasicAuthentication(true);
    options |= hoNonSSLProxyUseConnectVerb;
  }
  if (more & 8) {
    // Challenges are answered within the call, by whichever scheme the reply names.
    http.Request().SetUsername("DOM\\u");
    http.Request().SetPassword("p");
    http.OnProxyAuthorization = [](TNetCustomHTTP*, TNetAuthentication* auth, bool& handled) {
      auth->SetUsername("pu");
      auth->SetPassword("pp");
      handled = true;
    };
    options |= hoInProcessAuth;
  }
  http.SetHTTPOptions(options);
  core::TMemoryStream body;
  for (int call = 0; call < ((more & 4) ? 2 : 1); ++call) {
    try {
      http.Get("http://fuzz.example/tarvo/Files/main.zip", body, {404});
    } catch (const core::Exception&) {
    }
  }
  // Whatever happened, the stream holds no more than the peer sent (the decoder here copies).
  if (body.Size() > static_cast<std::int64_t>(reply.size())) __builtin_trap();
  http.SetIOHandler(nullptr);
  return 0;
}
