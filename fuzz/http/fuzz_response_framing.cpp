// The fed readers of a response (the head reader, then the chunk framing) on the fuzzer's
// bytes, fed once whole and once in pieces whose size the first byte picks. The outcome
// (status line, header and trailer lines, chunk data, error message, bytes left over) must
// not depend on where the pieces are cut, and no reader may take a byte past its end.
#include <cstdint>
#include <string>
#include <vector>

#include "core/exception.h"
#include "http/chunk_framer.h"
#include "http/http_limits.h"
#include "http/response_head_reader.h"

using namespace tarvo;
using namespace tarvo::http;

namespace {

struct TOutcome {
  std::string Status;
  std::vector<std::string> Lines;
  std::string Data;
  std::string Error;
  std::size_t Rest = 0;  // bytes no reader took
  bool operator==(const TOutcome&) const = default;
};

TOutcome Run(std::string_view bytes, std::size_t piece, int lineLimit, bool split) {
  TOutcome o;
  THTTPLimits limits;
  limits.HeaderLines = 20;
  limits.ResponseHeaderBytes = 600;
  TNetLineRules rules{lineLimit, split ? net::maSplit : net::maException, nullptr};
  TNetHeaderList headers;
  TNetResponseHeadReader head(rules, limits.HeaderLineBound(), limits.ResponseHeaderBytes);
  TNetChunkFramer chunks(rules, limits.HeaderLineBound(), limits.ResponseHeaderBytes, headers);
  std::size_t taken = 0;
  // Gives the front of `in` to whichever reader wants bytes now.
  auto step = [&](std::string_view& in) {
    auto* data = reinterpret_cast<const std::uint8_t*>(in.data());
    std::size_t took;
    if (head.WantsBytes()) {
      took = head.Feed(data, in.size());
      if (head.Step() == TNetResponseHeadReader::hrStatusRead) {
        o.Status = head.StatusLine();
        head.ReadHeadersInto(headers);
      }
    } else if (chunks.InData()) {
      took = std::min<std::size_t>(in.size(), static_cast<std::size_t>(chunks.DataRemaining()));
      o.Data.append(in.substr(0, took));
      chunks.DataTaken(static_cast<std::int64_t>(took));
    } else if (chunks.WantsBytes()) {
      took = chunks.Feed(data, in.size());
    } else {
      o.Rest = bytes.size() - taken;
      throw 0;
    }
    if (took > in.size()) __builtin_trap();
    taken += took;
    in.remove_prefix(took);
  };
  try {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      std::string_view in = bytes.substr(at, piece);
      while (!in.empty()) step(in);
    }
    o.Rest = bytes.size() - taken;
  } catch (int) {  // every reader is done
  } catch (const core::Exception& e) {
    o.Error = e.Message();
  }
  o.Lines = headers.Lines();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::size_t piece = data[0] % 16 + 1;
  int lineLimit = data[1] & 0x7f;  // 0: no limit
  bool split = data[1] & 0x80;
  std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
  if (!(Run(bytes, bytes.size() + 1, lineLimit, split) == Run(bytes, piece, lineLimit, split))) __builtin_trap();
  return 0;
}
