#include "http/authentication.h"

#include "http/auth_secret.h"
#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto at = [&](std::size_t k) -> unsigned { return static_cast<unsigned char>(bytes[k]); };
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += kAlphabet[v >> 18], out += kAlphabet[(v >> 12) & 63], out += kAlphabet[(v >> 6) & 63],
        out += kAlphabet[v & 63];
  }
  if (i + 1 == bytes.size()) {
    unsigned v = at(i) << 16;
    out += kAlphabet[v >> 18], out += kAlphabet[(v >> 12) & 63], out += "==";
  } else if (i + 2 == bytes.size()) {
    unsigned v = at(i) << 16 | at(i + 1) << 8;
    out += kAlphabet[v >> 18], out += kAlphabet[(v >> 12) & 63], out += kAlphabet[(v >> 6) & 63], out += '=';
  }
  return out;
}

bool DecodeBase64(std::string_view text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  std::size_t pad = 0;
  if (!text.empty() && text.back() == '=') pad = text[text.size() - 2] == '=' ? 2 : 1;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      int s = last && k >= 4 - pad ? 0 : Sextet(text[i + k]);
      if (s < 0) return false;
      v = v << 6 | static_cast<unsigned>(s);
    }
    bytes += static_cast<char>(v >> 16);
    if (!last || pad < 2) bytes += static_cast<char>((v >> 8) & 255);
    if (!last || pad < 1) bytes += static_cast<char>(v & 255);
  }
  return true;
}

TNetAuthentication::TNetAuthentication() { FParams.SetFoldLines(false), FAuthParams.SetFoldLines(false); }

TNetAuthentication::~TNetAuthentication() {
  WipeString(FPassword);
  FParams.Wipe();
}

void TNetAuthentication::AssignUserName(const std::string& name) {
  FUsername = name;
  FParams.SetValue("Username", name);
}

void TNetAuthentication::AssignPassword(const std::string& password) {
  if (password == FPassword) return;
  WipeString(FPassword);
  FPassword = password;
  FParams.SetValue("Password", password);
}

std::string TNetAuthentication::FindChallenge(std::string_view scheme) const {
  for (std::size_t i = 0; i < FAuthParams.Count(); ++i) {
    const std::string& line = FAuthParams[i];
    if (line.size() >= scheme.size() && SameText(std::string_view(line).substr(0, scheme.size()), scheme) &&
        (line.size() == scheme.size() || line[scheme.size()] == ' '))
      return line;
  }
  return {};
}

TNetAuthWhatsNext TNetBasicAuthentication::NextStep() {
  // Basic realm="x", charset="UTF-8": items split at ", ", each kept as "name: value".
  std::string challenge = FindChallenge("Basic");
  std::size_t space = challenge.find(' ');
  std::string_view rest =
      space == std::string::npos ? std::string_view() : std::string_view(challenge).substr(space + 1);
  while (!rest.empty()) {
    std::size_t sep = rest.find(", ");
    std::string_view item = rest.substr(0, sep);
    rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 2);
    std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) continue;
    std::string name(Trim(item.substr(0, eq)));
    std::string value(Trim(item.substr(eq + 1)));
    if (!name.empty()) FParams.SetValue(name, value);
    if (SameText(name, "realm"))
      FRealm =
          value.size() >= 2 && value.front() == '"' && value.back() == '"' ? value.substr(1, value.size() - 2) : value;
  }
  // Sent once and refused: the credentials are wrong, and sending them again changes nothing.
  if (FCurrentStep != 0) return wnFail;
  if (FUsername.empty()) return wnAskTheProgram;
  FCurrentStep = 1;
  return wnDoRequest;
}

std::string TNetBasicAuthentication::Authentication() {
  // UTF-8, the one charset a server can name (RFC 7617); our text is UTF-8 already.
  std::string pair = FUsername + ":" + FPassword;
  std::string value = "Basic " + EncodeBase64(pair);
  WipeString(pair);
  return value;
}

}  // namespace tarvo::http
