// The vendor's signed list of the archives: "SHA256SUMS" beside them in the download folder,
// in the format sha256sum writes (64 lower-case hex digits, two spaces or a space and a
// star, the file name; LF or CR LF lines), and "SHA256SUMS.sig", an ECDSA P-256 signature
// of the list's bytes with SHA-256 in DER, as `openssl dgst -sha256 -sign` writes it.
//
// Whoever answers the download (a café's Wi-Fi, a spoofed name, the proxy) can recompute a
// ZIP entry's CRC, but not this signature: the key that checks it is built into the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system_crypto.h"

namespace tarvo::setup {

inline constexpr const char* kSignedListName = "SHA256SUMS";
inline constexpr const char* kSignatureName = "SHA256SUMS.sig";
// A list larger than this is no list of a few archives: refused before it is read whole.
inline constexpr std::size_t kMaxSignedListSize = 1 << 20;
// A DER signature on P-256 is at most 72 bytes.
inline constexpr std::size_t kMaxSignatureSize = 1024;

class TSignedList {
public:
  // The names and digests of the list's text. Blank lines are skipped; a name is taken byte
  // for byte (no case folding, no "./"). Raises EInstallError, translated, naming the line,
  // for a malformed line or a name listed twice.
  explicit TSignedList(std::string_view text);
  // The digest listed for name, or null.
  const platform::TSha256Digest* Find(std::string_view name) const;
  std::size_t Count() const noexcept { return FEntries.size(); }

private:
  std::vector<std::pair<std::string, platform::TSha256Digest>> FEntries;
};

// Whether signature (DER) is key's signature of list.
bool SignatureMatches(const platform::TEcP256PublicKey& key, std::string_view list, std::string_view signature);

// The vendor's key: the PEM file TARVO_PAYLOAD_KEY names (an empty value counts as unset),
// else the one the program was built with; nullopt when there is neither (the downloads are
// then not checked). Raises EInstallError, translated, for a file that cannot be read or
// holds no ECDSA P-256 public key.
std::optional<platform::TEcP256PublicKey> PayloadKey();

}  // namespace tarvo::setup
