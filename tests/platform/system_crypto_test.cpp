// The system's SHA-256 and ECDSA P-256 behind our interface, and our DER/PEM reading of
// keys and signatures: published vectors, every tampered bit refused, and hostile
// encodings refused with nullopt (truncated at every length, one fault per case).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/public_key_der.h"
#include "platform/system_crypto.h"

using namespace tarvo::platform;

namespace {

std::string Bytes(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

template <std::size_t N>
std::array<std::uint8_t, N> Array(std::string_view hex) {
  const std::string bytes = Bytes(hex);
  std::array<std::uint8_t, N> out{};
  EXPECT_EQ(bytes.size(), N) << hex;
  std::memcpy(out.data(), bytes.data(), std::min(N, bytes.size()));
  return out;
}

// A DER tag-length-value, for building structures field by field.
std::string Tlv(std::uint8_t tag, const std::string& content) {
  std::string out(1, static_cast<char>(tag));
  if (content.size() >= 0x80) out.push_back('\x81');
  return out + static_cast<char>(content.size()) + content;
}

TSha256Digest Sha(std::string_view text) { return TSha256::Of(text.data(), text.size()); }

// RFC 6979 A.2.5: the P-256 key and its deterministic SHA-256 signatures.
const TEcP256PublicKey kRfcKey{
    Array<32>("60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"),
    Array<32>("7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299")};

// The same key as `openssl pkey -pubin -inform DER` writes it.
constexpr std::string_view kRfcKeyPem =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEYP7UuiVanTHJYet0xjVtaMBJuJI7\n"
    "Yfps5mliLmDyn7Z5A/4QCLi8maQa6elWKLxk8vGyDC1+n1F3o8KU1EYimQ==\n"
    "-----END PUBLIC KEY-----\n";
constexpr std::string_view kRfcKeyDerHex =
    "3059301306072a8648ce3d020106082a8648ce3d0301070342000460fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6c"
    "e669622e60f29fb67903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";

struct TRfcSignature {
  const char* Message;
  const char* RS;
};
const TRfcSignature kRfcSignatures[] = {
    {"sample",
     "EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
     "F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8"},
    // s without the high bit: DER carries it in 32 bytes, r in 33.
    {"test",
     "F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367"
     "019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083"},
};

// The group order n and the field prime p of P-256.
constexpr const char* kOrder = "FFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551";
constexpr const char* kPrime = "FFFFFFFF00000001000000000000000000000000FFFFFFFFFFFFFFFFFFFFFFFF";

TEST(Sha256, KnownDigests) {
  // FIPS 180-4 examples and the NIST long message; the million 'a' arrive in pieces of
  // 1, 2, ... 999 bytes, so pieces straddle every position in a 64-byte block.
  struct TCase {
    std::string Message;
    const char* Digest;
  };
  const TCase cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const TCase& c : cases) {
    const auto expected = Array<32>(c.Digest);
    EXPECT_EQ(Sha(c.Message), expected) << c.Message.size() << " bytes at once";
    TSha256 hash;
    for (std::size_t at = 0, piece = 1; at < c.Message.size(); at += piece, piece = piece % 999 + 1)
      hash.Update(c.Message.data() + at, std::min(piece, c.Message.size() - at));
    EXPECT_EQ(hash.Final(), expected) << c.Message.size() << " bytes in pieces";
  }
}

TEST(Sha256, FinalAndResetStartAgain) {
  const auto abc = Array<32>("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  TSha256 hash;
  hash.Update("xyz", 3);
  (void)hash.Final();
  hash.Update("abc", 3);
  EXPECT_EQ(hash.Final(), abc) << "Final() did not start again";
  EXPECT_EQ(hash.Final(), Sha("")) << "a second Final() is of nothing";
  hash.Update("xyz", 3);
  hash.Reset();
  hash.Update("abc", 3);
  EXPECT_EQ(hash.Final(), abc) << "Reset() kept input";
}

TEST(EcdsaP256, VerifiesPublishedSignatures) {
  for (const TRfcSignature& v : kRfcSignatures)
    EXPECT_TRUE(VerifyEcdsaP256(kRfcKey, Sha(v.Message), Array<64>(v.RS))) << v.Message;
}

// Flips every third bit of the signature, the digest and the key in turn: each must fail.
// (A flipped key bit mostly leaves the curve: the system's refusal of the point is a no too.)
TEST(EcdsaP256, RefusesEveryTamperedPart) {
  for (const TRfcSignature& v : kRfcSignatures) {
    const auto rs = Array<64>(v.RS);
    const auto digest = Sha(v.Message);
    for (std::size_t bit = 0; bit < 512; bit += 3) {
      auto bad = rs;
      bad[bit / 8] ^= static_cast<std::uint8_t>(1u << bit % 8);
      EXPECT_FALSE(VerifyEcdsaP256(kRfcKey, digest, bad)) << v.Message << ": signature bit " << bit;
      TEcP256PublicKey key = kRfcKey;
      (bit < 256 ? key.X : key.Y)[bit % 256 / 8] ^= static_cast<std::uint8_t>(1u << bit % 8);
      EXPECT_FALSE(VerifyEcdsaP256(key, digest, rs)) << v.Message << ": key bit " << bit;
      if (bit < 256) {
        auto other = digest;
        other[bit / 8] ^= static_cast<std::uint8_t>(1u << bit % 8);
        EXPECT_FALSE(VerifyEcdsaP256(kRfcKey, other, rs)) << v.Message << ": digest bit " << bit;
      }
    }
    EXPECT_FALSE(VerifyEcdsaP256(kRfcKey, Sha("other"), rs)) << v.Message;
  }
}

TEST(EcdsaP256, RefusesValuesOutOfRange) {
  const auto rs = Array<64>(kRfcSignatures[0].RS);
  const auto digest = Sha(kRfcSignatures[0].Message);
  const std::string r(reinterpret_cast<const char*>(rs.data()), 32);
  std::string zero(32, '\0'), ones(32, '\xFF'), order = Bytes(kOrder), prime = Bytes(kPrime);
  struct TCase {
    const char* Name;
    std::string R, S;
  };
  const TCase signatures[] = {
      {"r = 0", zero, r}, {"s = 0", r, zero}, {"r = n", order, r}, {"s = n", r, order}, {"s = 2^256 - 1", r, ones},
  };
  for (const TCase& c : signatures) {
    std::array<std::uint8_t, 64> bad;
    std::memcpy(bad.data(), c.R.data(), 32);
    std::memcpy(bad.data() + 32, c.S.data(), 32);
    EXPECT_FALSE(VerifyEcdsaP256(kRfcKey, digest, bad)) << c.Name;
  }
  // Points no key can be: the origin, a coordinate equal to p, all ones.
  const std::string y(kRfcKey.Y.begin(), kRfcKey.Y.end());
  const std::pair<std::string, std::string> points[] = {{zero, zero}, {prime, y}, {ones, ones}};
  for (const auto& [x, y] : points) {
    TEcP256PublicKey key;
    std::memcpy(key.X.data(), x.data(), 32);
    std::memcpy(key.Y.data(), y.data(), 32);
    EXPECT_FALSE(VerifyEcdsaP256(key, digest, rs));
  }
}

TEST(PublicKeyDer, ReadsTheKeyInEveryForm) {
  const std::string der = Bytes(kRfcKeyDerHex);
  const std::string pem(kRfcKeyPem);
  const std::string crlf = "-----BEGIN PUBLIC KEY-----\r\n"
                           "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEYP7UuiVanTHJYet0xjVtaMBJuJI7\r\n"
                           "Yfps5mliLmDyn7Z5A/4QCLi8maQa6elWKLxk8vGyDC1+n1F3o8KU1EYimQ==\r\n-----END PUBLIC KEY-----";
  const std::string cases[] = {
      der,
      pem,
      crlf,
      "Key for the downloads:\n" + pem + "trailing words\n",
      "-----BEGIN CERTIFICATE-----\nnot base64 at all!\n-----END CERTIFICATE-----\n" + pem,
  };
  for (const std::string& text : cases) {
    std::string why;
    const auto key = ParseEcP256PublicKey(text, &why);
    ASSERT_TRUE(key) << why << "\n" << text;
    EXPECT_EQ(key->X, kRfcKey.X);
    EXPECT_EQ(key->Y, kRfcKey.Y);
  }
  const auto encoded = EncodeEcP256PublicKeyDer(kRfcKey);
  EXPECT_EQ(std::string(encoded.begin(), encoded.end()), der);
}

// One fault per case; the reason must name it.
TEST(PublicKeyDer, RefusesMalformedKeys) {
  const std::string der = Bytes(kRfcKeyDerHex);
  const std::string point = der.substr(27);  // X || Y
  const std::string ecKey = Tlv(6, Bytes("2A8648CE3D0201")), p256 = Tlv(6, Bytes("2A8648CE3D030107"));
  const std::string algorithm = Tlv(0x30, ecKey + p256);
  auto spki = [&](const std::string& bits) { return Tlv(0x30, algorithm + Tlv(3, bits)); };
  const std::string goodBits = std::string("\0\x04", 2) + point;
  ASSERT_EQ(spki(goodBits), der) << "the builder";
  const std::string pemBody = "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEYP7UuiVanTHJYet0xjVtaMBJuJI7\n"
                              "Yfps5mliLmDyn7Z5A/4QCLi8maQa6elWKLxk8vGyDC1+n1F3o8KU1EYimQ==\n";
  const std::string line1 = pemBody.substr(0, 65), data2 = pemBody.substr(65, 58);  // data2 without "=="
  const std::string begin = "-----BEGIN PUBLIC KEY-----\n", end = "-----END PUBLIC KEY-----\n";
  auto pem = [&](const std::string& body) { return begin + body + end; };
  struct TCase {
    const char* Name;
    std::string Text;
    const char* Why;  // a part of the reason
  };
  const TCase cases[] = {
      {"empty", "", "DER"},
      {"SET for SEQUENCE", "\x31" + der.substr(1), "DER"},
      {"bytes after the structure", der + '\0', "after"},
      {"non-minimal outer length", "\x30\x81" + der.substr(1), "DER"},
      {"indefinite outer length", "\x30\x80" + der.substr(2) + std::string(2, '\0'), "DER"},
      {"outer length past the end", "\x30\x5A" + der.substr(2), "DER"},
      {"non-minimal inner length", Tlv(0x30, "\x30\x81\x13" + ecKey + p256 + Tlv(3, goodBits)), "algorithm"},
      {"rsaEncryption", Tlv(0x30, Tlv(0x30, Tlv(6, Bytes("2A864886F70D010101")) + Tlv(5, "")) + Tlv(3, goodBits)),
       "id-ecPublicKey"},
      {"secp384r1", Tlv(0x30, Tlv(0x30, ecKey + Tlv(6, Bytes("2B81040022"))) + Tlv(3, goodBits)), "P-256"},
      {"NULL parameters", Tlv(0x30, Tlv(0x30, ecKey + Tlv(5, "")) + Tlv(3, goodBits)), "P-256"},
      {"no parameters", Tlv(0x30, Tlv(0x30, ecKey) + Tlv(3, goodBits)), "P-256"},
      {"two curves", Tlv(0x30, Tlv(0x30, ecKey + p256 + p256) + Tlv(3, goodBits)), "P-256"},
      {"compressed point", spki(std::string("\0\x02", 2) + point.substr(0, 32)), "uncompressed"},
      {"hybrid point", spki(std::string("\0\x06", 2) + point), "uncompressed"},
      {"unused bits", spki("\x01\x04" + point), "uncompressed"},
      {"point a byte short", spki(goodBits.substr(0, 65)), "uncompressed"},
      {"point a byte long", spki(goodBits + 'x'), "uncompressed"},
      {"point as OCTET STRING", Tlv(0x30, algorithm + Tlv(4, goodBits)), "BIT STRING"},
      {"a field after the point", Tlv(0x30, algorithm + Tlv(3, goodBits) + Tlv(5, "")), "BIT STRING"},
      {"junk in the base64", pem(line1 + "*" + data2 + "==\n"), "alphabet"},
      {"base64url characters", pem(line1 + data2.substr(0, 10) + "_" + data2.substr(11) + "==\n"), "alphabet"},
      {"no END line", begin + pemBody, "END"},
      {"another label's END", begin + pemBody + "-----END PRIVATE KEY-----\n", "END"},
      {"another block inside", pem(pemBody + "-----END PRIVATE KEY-----\n"), "alphabet"},
      {"END not at a line start", begin + line1 + data2 + "==" + end, "line"},
      {"text after the BEGIN label", "-----BEGIN PUBLIC KEY----- x\n" + pemBody + end, "BEGIN"},
      {"BEGIN inside a line", "see " + begin + pemBody + end, "DER"},
      {"base64 after the padding", pem(line1 + data2 + "==QQ\n"), "after its padding"},
      {"missing padding", pem(line1 + data2 + "\n"), "incomplete"},
      {"one = too many", pem(line1 + data2 + "===\n"), "incomplete"},
      {"bits set under the padding", pem(line1 + data2.substr(0, 57) + "R==\n"), "bits"},
      {"a PEM block too long", pem(std::string(5000, 'A') + "\n"), "too long"},
      {"PEM holding a signature",
       pem("MEYCIQDv1IsqrLao/RFA3ZzUXoHWnSyHe1aq+ZHDTQ6oTq83FgIhAPfLHJQtZXxB1DbHobbin2Xz6QDbua/0Bk3Eqy+EOs2o\n"),
       "algorithm"},
  };
  for (const TCase& c : cases) {
    std::string why;
    EXPECT_FALSE(ParseEcP256PublicKey(c.Text, &why)) << c.Name;
    EXPECT_NE(why.find(c.Why), std::string::npos) << c.Name << ": " << why;
  }
}

TEST(PublicKeyDer, RefusesEveryTruncation) {
  const std::string der = Bytes(kRfcKeyDerHex);
  const std::string pem(kRfcKeyPem);
  for (std::size_t size = 0; size < der.size(); ++size)
    EXPECT_FALSE(ParseEcP256PublicKey(der.substr(0, size))) << "DER of " << size << " bytes";
  // Cut anywhere before the END line is complete (its last dash) the text must fail.
  for (std::size_t size = 0; size + 1 < pem.size(); ++size)
    EXPECT_FALSE(ParseEcP256PublicKey(pem.substr(0, size))) << "PEM of " << size << " bytes";
}

TEST(EcdsaDerSignature, ReadsMinimalIntegers) {
  struct TCase {
    const char* Der;
    const char* RS;
  };
  const TCase cases[] = {
      // What openssl writes for the RFC 6979 "sample" signature: both values padded with 00.
      {"3046022100EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
       "022100F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8",
       "EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"
       "F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8"},
      // "test": r padded, s not.
      {"3045022100F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367"
       "0220019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083",
       "F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367"
       "019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083"},
      {"3006020101020101", "0000000000000000000000000000000000000000000000000000000000000001"
                           "0000000000000000000000000000000000000000000000000000000000000001"},
      {"30070202008002017F", "0000000000000000000000000000000000000000000000000000000000000080"
                             "000000000000000000000000000000000000000000000000000000000000007F"},
  };
  for (const TCase& c : cases) {
    const std::string hex(c.Der);
    const auto rs = ParseEcdsaDerSignature(Bytes(hex));
    ASSERT_TRUE(rs) << hex;
    EXPECT_EQ(*rs, Array<64>(c.RS)) << hex;
    EXPECT_EQ(EncodeEcdsaDerSignature(*rs), Bytes(hex)) << "not the one DER encoding";
  }
  for (const TRfcSignature& v : kRfcSignatures) {
    const auto rs = Array<64>(v.RS);
    EXPECT_EQ(ParseEcdsaDerSignature(EncodeEcdsaDerSignature(rs)), rs) << v.Message;
  }
}

TEST(EcdsaDerSignature, RefusesMalformedSignatures) {
  const std::string r32 = "02207FD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716";
  const std::string one = "020101";
  struct TCase {
    const char* Name;
    std::string Hex;
  };
  const TCase cases[] = {
      {"empty", ""},
      {"not a SEQUENCE", "3106" + one + one},
      {"one INTEGER", "3003" + one},
      {"three INTEGERs", "3009" + one + one + one},
      {"bytes after", "3006" + one + one + "00"},
      {"bytes inside after s", "3007" + one + one + "00"},
      {"non-minimal SEQUENCE length", "308106" + one + one},
      {"indefinite SEQUENCE length", "3080" + one + one + "0000"},
      {"length past the end", "3007" + one + one},
      {"negative r", "3006020181" + one},
      {"zero s", "3006" + one + "020100"},
      {"empty INTEGER", "30050200" + one},
      {"needless 00", "3007" + one + "0202007F"},
      {"needless 00 on zero", "3007" + one + "02020000"},
      {"33 bytes without the high bit",
       "3027" + one + "0221017FD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716"},
      {"34 bytes", "3028" + one + "022200FFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF371601"},
      {"long-form INTEGER length", "3025" + one + "028120" + r32.substr(4)},
      {"OCTET STRING for s", "3006" + one + "040101"},
  };
  for (const TCase& c : cases) EXPECT_FALSE(ParseEcdsaDerSignature(Bytes(c.Hex))) << c.Name;
  // Sanity of the table's building blocks: the pair itself is a signature.
  ASSERT_TRUE(ParseEcdsaDerSignature(Bytes("3025" + one + r32)));
  const std::string good = EncodeEcdsaDerSignature(Array<64>(kRfcSignatures[1].RS));
  for (std::size_t size = 0; size < good.size(); ++size)
    EXPECT_FALSE(ParseEcdsaDerSignature(good.substr(0, size))) << size << " bytes";
}

}  // namespace
