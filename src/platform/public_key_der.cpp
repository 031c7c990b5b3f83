// The two structures, in the ASN.1 their documents give (RFC 5480, RFC 5280, SEC 1 C.5):
//
//   SubjectPublicKeyInfo ::= SEQUENCE {
//     algorithm         AlgorithmIdentifier,     -- SEQUENCE { id-ecPublicKey, namedCurve }
//     subjectPublicKey  BIT STRING }             -- 0 unused bits, 04 || X || Y
//
//   ECDSA-Sig-Value ::= SEQUENCE { r INTEGER, s INTEGER }
//
// DER leaves one encoding of each value, so every comparison below is against bytes.
#include "platform/public_key_der.h"

#include <algorithm>
#include <cstring>

namespace tarvo::platform {

namespace {

// The DER of a P-256 key is 91 bytes; its base64 with line breaks well under 200
// characters. Nothing larger is a key we take, so nothing larger is decoded.
constexpr std::size_t kMaxPemBlockChars = 4096;

// X.690 8.1.2 / 8.1.3: the identifier octets of the universal types we read.
constexpr std::uint8_t kTagInteger = 0x02;
constexpr std::uint8_t kTagBitString = 0x03;
constexpr std::uint8_t kTagObjectIdentifier = 0x06;
constexpr std::uint8_t kTagSequence = 0x30;  // constructed

// The contents octets of the two object identifiers (X.690 8.19).
constexpr std::uint8_t kIdEcPublicKey[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};        // 1.2.840.10045.2.1
constexpr std::uint8_t kPrime256v1[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};  // 1.2.840.10045.3.1.7

constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

using TBytes = std::basic_string_view<std::uint8_t>;

TBytes Bytes(std::string_view text) { return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

bool Equal(TBytes value, const std::uint8_t* expected, std::size_t size) {
  return value.size() == size && std::memcmp(value.data(), expected, size) == 0;
}

// Takes one tag-length-value with the given tag off the front of input. Only the
// definite form in its shortest encoding is DER (X.690 10.1); a length past the end of
// input fails rather than being trusted.
bool TakeTlv(TBytes& input, std::uint8_t tag, TBytes& contents) {
  if (input.size() < 2 || input[0] != tag) return false;
  std::size_t length = input[1];
  std::size_t header = 2;
  if (length >= 0x80) {
    const std::size_t count = length - 0x80;
    // 0x80 is the indefinite form; four length octets already exceed anything we read.
    if (count == 0 || count > 4 || input.size() < 2 + count) return false;
    if (input[2] == 0) return false;  // a leading zero octet is not the shortest form
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = length << 8 | input[2 + i];
    if (length < 0x80) return false;  // fits the short form
    header += count;
  }
  if (length > input.size() - header) return false;
  contents = input.substr(header, length);
  input.remove_prefix(header + length);
  return true;
}

// A positive INTEGER of at most 32 value bytes, left-padded into out.
bool TakeScalar(TBytes& input, std::uint8_t* out) {
  TBytes value;
  if (!TakeTlv(input, kTagInteger, value) || value.empty()) return false;
  if ((value[0] & 0x80) != 0) return false;  // negative
  if (value[0] == 0 && value.size() > 1) {
    if ((value[1] & 0x80) == 0) return false;  // the zero octet was not needed
    value.remove_prefix(1);
  }
  if (value.size() > 32) return false;
  if (std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; })) return false;
  std::memset(out, 0, 32 - value.size());
  std::memcpy(out + 32 - value.size(), value.data(), value.size());
  return true;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// RFC 4648 section 4 with the line breaks of RFC 7468: white space anywhere, padding only
// at the end and only as much as the last group needs, and the bits the padding leaves
// over zero (section 3.5), so that one key has one text.
bool DecodeBase64(std::string_view text, std::string& out, std::string& why) {
  std::uint32_t group = 0;
  int count = 0;
  int padding = 0;
  for (char c : text) {
    if (IsSpace(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0) {
      why = "the key's base64 holds a character outside its alphabet";
      return false;
    }
    if (padding != 0) {
      why = "the key's base64 goes on after its padding";
      return false;
    }
    group = group << 6 | static_cast<std::uint32_t>(value);
    if (++count == 4) {
      out.push_back(static_cast<char>(group >> 16));
      out.push_back(static_cast<char>(group >> 8 & 0xFF));
      out.push_back(static_cast<char>(group & 0xFF));
      group = 0;
      count = 0;
    }
  }
  // count characters of a last group: 2 carry one byte, 3 carry two; padding fills to 4.
  const bool shapeOk = (count == 0 && padding == 0) || (count == 2 && padding == 2) || (count == 3 && padding == 1);
  if (!shapeOk) {
    why = "the key's base64 ends in an incomplete group";
    return false;
  }
  if (count == 2) {
    if ((group & 0x0F) != 0) {
      why = "the key's base64 has bits set in its padding";
      return false;
    }
    out.push_back(static_cast<char>(group >> 4));
  } else if (count == 3) {
    if ((group & 0x03) != 0) {
      why = "the key's base64 has bits set in its padding";
      return false;
    }
    out.push_back(static_cast<char>(group >> 10));
    out.push_back(static_cast<char>(group >> 2 & 0xFF));
  }
  return true;
}

// The base64 between the BEGIN and END lines, or false. The BEGIN line starts a line and
// ends with it; whatever else is between the two lines is junk, another label's END line
// included.
bool PemBody(std::string_view text, std::size_t begin, std::string_view& body, std::string& why) {
  std::size_t start = begin + kPemBegin.size();
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t' || text[start] == '\r')) ++start;
  if (start >= text.size() || text[start] != '\n') {
    why = "the key's BEGIN line does not end where its label does";
    return false;
  }
  ++start;
  std::size_t end = text.find(kPemEnd, start);
  if (end == std::string_view::npos) {
    why = "the key has no \"-----END PUBLIC KEY-----\" line";
    return false;
  }
  if (text[end - 1] != '\n') {
    why = "the key's END line does not start a line";
    return false;
  }
  body = text.substr(start, end - start);
  return true;
}

std::size_t FindPemBegin(std::string_view text) {
  for (std::size_t at = text.find(kPemBegin); at != std::string_view::npos; at = text.find(kPemBegin, at + 1))
    if (at == 0 || text[at - 1] == '\n') return at;
  return std::string_view::npos;
}

std::optional<TEcP256PublicKey> ParseDer(TBytes der, std::string& why) {
  TBytes info, algorithm, algorithmId, curve, bits;
  if (!TakeTlv(der, kTagSequence, info)) {
    why = "the key is neither PEM \"PUBLIC KEY\" text nor a DER SubjectPublicKeyInfo";
    return std::nullopt;
  }
  if (!der.empty()) {
    why = "the key has bytes after its DER structure";
    return std::nullopt;
  }
  if (!TakeTlv(info, kTagSequence, algorithm) || !TakeTlv(algorithm, kTagObjectIdentifier, algorithmId)) {
    why = "the key's algorithm is not a DER AlgorithmIdentifier";
    return std::nullopt;
  }
  if (!Equal(algorithmId, kIdEcPublicKey, sizeof kIdEcPublicKey)) {
    why = "the key is not an elliptic-curve key (id-ecPublicKey)";
    return std::nullopt;
  }
  // The parameters may only be the named curve (RFC 5480 2.1.1: implicit and specified
  // curves are not to be used).
  if (!TakeTlv(algorithm, kTagObjectIdentifier, curve) || !algorithm.empty() ||
      !Equal(curve, kPrime256v1, sizeof kPrime256v1)) {
    why = "the key's curve is not P-256 (prime256v1)";
    return std::nullopt;
  }
  if (!TakeTlv(info, kTagBitString, bits) || !info.empty()) {
    why = "the key's public point is not a DER BIT STRING";
    return std::nullopt;
  }
  // 0 unused bits, then SEC 1 2.3.3's uncompressed form.
  if (bits.size() != 2 + 64 || bits[0] != 0 || bits[1] != 0x04) {
    why = "the key's point is not uncompressed (04 || X || Y of 32 bytes each)";
    return std::nullopt;
  }
  TEcP256PublicKey key;
  std::memcpy(key.X.data(), bits.data() + 2, 32);
  std::memcpy(key.Y.data(), bits.data() + 34, 32);
  return key;
}

}  // namespace

std::optional<TEcP256PublicKey> ParseEcP256PublicKey(std::string_view text, std::string* why) {
  std::string reason;
  std::optional<TEcP256PublicKey> key;
  const std::size_t begin = FindPemBegin(text);
  if (begin == std::string_view::npos) {
    key = ParseDer(Bytes(text), reason);
  } else {
    std::string_view body;
    std::string der;
    if (PemBody(text, begin, body, reason)) {
      if (body.size() > kMaxPemBlockChars)
        reason = "the key's PEM block is too long for a P-256 key";
      else if (DecodeBase64(body, der, reason))
        key = ParseDer(Bytes(der), reason);
    }
  }
  if (!key && why != nullptr) *why = reason;
  return key;
}

std::optional<std::array<std::uint8_t, 64>> ParseEcdsaDerSignature(std::string_view der) {
  TBytes input = Bytes(der);
  TBytes pair;
  std::array<std::uint8_t, 64> rs;
  if (!TakeTlv(input, kTagSequence, pair) || !input.empty()) return std::nullopt;
  if (!TakeScalar(pair, rs.data()) || !TakeScalar(pair, rs.data() + 32) || !pair.empty()) return std::nullopt;
  return rs;
}

std::array<std::uint8_t, kEcP256PublicKeyDerSize> EncodeEcP256PublicKeyDer(const TEcP256PublicKey& key) {
  // SEQUENCE { SEQUENCE { OID, OID }, BIT STRING { 00 04 X Y } }: every length is fixed.
  static constexpr std::uint8_t kPrefix[] = {
      kTagSequence, 0x59,                                                     // SubjectPublicKeyInfo, 89 bytes
      kTagSequence, 0x13,                                                     // AlgorithmIdentifier, 19 bytes
      kTagObjectIdentifier, sizeof kIdEcPublicKey, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01,  // id-ecPublicKey
      kTagObjectIdentifier, sizeof kPrime256v1, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07,  // prime256v1
      kTagBitString, 0x42, 0x00, 0x04,  // 66 bytes: no unused bits, uncompressed point
  };
  static_assert(sizeof kPrefix + 64 == kEcP256PublicKeyDerSize);
  std::array<std::uint8_t, kEcP256PublicKeyDerSize> der;
  std::memcpy(der.data(), kPrefix, sizeof kPrefix);
  std::memcpy(der.data() + sizeof kPrefix, key.X.data(), 32);
  std::memcpy(der.data() + sizeof kPrefix + 32, key.Y.data(), 32);
  return der;
}

std::string EncodeEcdsaDerSignature(const std::array<std::uint8_t, 64>& signature) {
  std::string pair;
  for (std::size_t half = 0; half < 64; half += 32) {
    std::size_t first = half;
    while (first < half + 31 && signature[first] == 0) ++first;  // keep at least one octet
    const bool pad = (signature[first] & 0x80) != 0;             // else it would read as negative
    pair.push_back(static_cast<char>(kTagInteger));
    pair.push_back(static_cast<char>(half + 32 - first + (pad ? 1 : 0)));
    if (pad) pair.push_back('\0');
    pair.append(reinterpret_cast<const char*>(signature.data() + first), half + 32 - first);
  }
  // At most 2 × 35 bytes: the short length form always holds it.
  return std::string{static_cast<char>(kTagSequence), static_cast<char>(pair.size())} + pair;
}

}  // namespace tarvo::platform
