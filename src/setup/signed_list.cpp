#include "setup/signed_list.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/format.h"
#include "i18n/translations.h"
#include "platform/public_key_der.h"
#include "setup/installer.h"

// The key the program was built with (cmake -DTARVO_PAYLOAD_KEY=FILE): kBuiltinPayloadKey.
#include "payload_key.inc"

namespace tarvo::setup {

using i18n::_;

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;  // sha256sum writes lower case only; anything else is not its output
}

[[noreturn]] void MalformedLine(std::size_t number) {
  throw EInstallError(core::Format(
      _("%s, regel %d: dit is geen regel van de vorm \"64 hexadecimale cijfers, twee spaties, de bestandsnaam\"."),
      {kSignedListName, std::to_string(number)}));
}

}  // namespace

TSignedList::TSignedList(std::string_view text) {
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    // A name with a backslash or a line break is written escaped ("\" before the digest):
    // none of our archives has one, so such a line is refused with the rest.
    if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*')) MalformedLine(number);
    platform::TSha256Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) {
      const int high = HexValue(line[2 * i]), low = HexValue(line[2 * i + 1]);
      if (high < 0 || low < 0) MalformedLine(number);
      digest[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    const std::string_view name = line.substr(66);
    for (char c : name)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) MalformedLine(number);
    if (Find(name) != nullptr)
      throw EInstallError(core::Format(_("%s, regel %d: %s staat meer dan eens in de lijst."),
                                       {kSignedListName, std::to_string(number), std::string(name)}));
    FEntries.emplace_back(std::string(name), digest);
  }
}

const platform::TSha256Digest* TSignedList::Find(std::string_view name) const {
  for (const auto& [listed, digest] : FEntries)
    if (listed == name) return &digest;
  return nullptr;
}

bool SignatureMatches(const platform::TEcP256PublicKey& key, std::string_view list, std::string_view signature) {
  const std::optional<std::array<std::uint8_t, 64>> rs = platform::ParseEcdsaDerSignature(signature);
  return rs && platform::VerifyEcdsaP256(key, platform::TSha256::Of(list.data(), list.size()), *rs);
}

std::optional<platform::TEcP256PublicKey> PayloadKey() {
  const char* env = std::getenv("TARVO_PAYLOAD_KEY");
  std::string text, source;
  if (env != nullptr && *env != '\0') {
    source = env;
    // A key file is a few hundred bytes: a larger one (or a device) is read no further.
    constexpr std::size_t kMaxKeyFile = 64 * 1024;
    std::ifstream in(std::filesystem::path(reinterpret_cast<const char8_t*>(source.c_str())), std::ios::binary);
    if (in) {
      text.resize(kMaxKeyFile);
      in.read(text.data(), static_cast<std::streamsize>(text.size()));
      text.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (text.empty())
      throw EInstallError(core::Format(_("De sleutel van de uitgever (%s) kan niet worden gelezen."), {source}));
  } else {
    text = kBuiltinPayloadKey;
    source = "(built in)";
    if (text.empty()) return std::nullopt;
  }
  std::string why;
  std::optional<platform::TEcP256PublicKey> key = platform::ParseEcP256PublicKey(text, &why);
  if (!key)
    throw EInstallError(core::Format(_("De sleutel van de uitgever (%s) is geen openbare ECDSA-sleutel (P-256): %s"),
                                     {source, why}));
  return key;
}

}  // namespace tarvo::setup
