// Challenge parsing of the built-in schemes. The first byte picks Basic, Digest or NTLM; the
// rest are challenge lines (for NTLM also a raw Type 2 message). The header a scheme
// answers with never carries CR, LF or NUL.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/auth_digest.h"
#include "http/auth_exception.h"
#include "http/auth_ntlm.h"
#include "http/ntlm_message.h"

using namespace tarvo::http;

namespace {

void CheckHeader(const std::string& value) {
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
}

void Feed(TNetAuthentication& auth, std::string_view text) {
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    auth.AuthParams().Add(std::string(text.substr(0, nl)));
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 3) {
      case 0: {
        TNetBasicAuthentication basic;
        Feed(basic, text);
        basic.AssignUserName("user");
        basic.AssignPassword("password");
        (void)basic.Next();
        break;
      }
      case 1: {
        TNetDigestAuthentication digest;
        Feed(digest, text);
        digest.AssignUserName("user");
        digest.AssignPassword("password");
        digest.SetEntityBody("body");
        for (int round = 0; round < 2; ++round) {
          if (digest.Next() != wnDoRequest) break;
          digest.SetRequest("GET", "/x");
          CheckHeader(digest.Authentication());
        }
        break;
      }
      default: {
        TNetNTLMChallenge challenge;
        (void)ParseNTLMType2(text, challenge);
        TNetNTLMAuthentication ntlm;
        ntlm.SetHost("HOST");
        ntlm.AssignUserName("DOMAIN\\user");
        ntlm.AssignPassword("password");
        (void)ntlm.Next();
        CheckHeader(ntlm.Authentication());
        Feed(ntlm, text);
        if (ntlm.Next() == wnDoRequest) CheckHeader(ntlm.Authentication());
        break;
      }
    }
  } catch (const ENetInvalidAlgorithm&) {
  } catch (const ENetAbort&) {
  }
  return 0;
}
