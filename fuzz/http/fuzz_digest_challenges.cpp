// RFC 7616 challenges as servers send them: several in one header value, several values.
// The client picks one, answers it twice (reusing the nonce), reads a stale retry and an
// Authentication-Info; nothing it sends may carry CR, LF or NUL.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/auth_digest.h"
#include "http/auth_exception.h"

using namespace tarvo::http;

namespace {

void CheckHeader(const std::string& value) {
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // Lines up to a blank one are challenges; what follows is the Authentication-Info.
  std::size_t split = text.find("\n\n");
  std::string_view challenges = text.substr(0, split);
  std::string_view info = split == std::string_view::npos ? std::string_view() : text.substr(split + 2);
  // Every piece starts with its scheme word: no empty piece, none led by a comma or blank.
  for (const std::string& c : SplitChallenges(challenges))
    if (c.empty() || c.front() == ',' || c.front() == ' ' || c.front() == '\t') std::abort();
  TNetDigestAuthentication d;
  d.AssignUserName("J\xC3\xA4s\xC3\xB8n");
  d.AssignPassword("pw");
  while (!challenges.empty()) {
    std::size_t nl = challenges.find('\n');
    d.AuthParams().Add(std::string(challenges.substr(0, nl)));
    challenges = nl == std::string_view::npos ? std::string_view() : challenges.substr(nl + 1);
  }
  try {
    for (int round = 0; round < 2; ++round) {
      if (d.Next() != wnDoRequest) break;
      d.SetRequest("POST", "/x");
      d.SetEntityBody("body");
      CheckHeader(d.Authentication());
      CheckHeader(d.Authentication());
      d.CheckAuthenticationInfo(info);
      CheckHeader(d.Authentication());
    }
  } catch (const ENetInvalidAlgorithm&) {
  }
  return 0;
}
