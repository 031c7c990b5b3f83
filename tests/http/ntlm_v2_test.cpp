// NTLM as servers of today expect it: HMAC-MD5 against RFC 2202, the NTLMv2 and extended
// session security responses against the published MS-NLMP examples, and which response a
// Type 3 carries for which Type 2. The exchange with a verifying server is in
// ntlm_peers_posix_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "http/auth_exception.h"
#include "http/auth_ntlm.h"
#include "http/des_library.h"
#include "http/message_digest.h"
#include "have_des.h"
#include "http/ntlm_message.h"

namespace tarvo::http {
namespace {

std::string Hex(std::string_view bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) out += d[b >> 4], out += d[b & 15];
  return out;
}
std::string Hex(const TNetDigest& d) { return Hex(std::string_view(reinterpret_cast<const char*>(d.data()), 16)); }
std::string Bytes(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

using testing::HaveDES;

TEST(HMACMD5, RFC2202) {
  struct Case {
    std::string key, data;
    const char* mac;
  } cases[] = {
      {std::string(16, '\x0b'), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
      {"Jefe", "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
      {std::string(16, '\xaa'), std::string(50, '\xdd'), "56be34521d144c88dbb8c733f0e8b3f6"},
      // A key longer than the block is hashed first.
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
  };
  for (const Case& c : cases) EXPECT_EQ(Hex(HMACMD5(c.key, c.data)), c.mac) << c.data;
}

// MS-NLMP 4.2.1: user "User", domain "Domain", password "Password", server challenge
// 0123456789abcdef, client challenge aa..aa, time 0, and the target information of
// 4.2.4 (NetBIOS domain "Domain", NetBIOS computer "Server").
const TNetNTLMNonce kServer = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
const TNetNTLMNonce kClient = {0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa, 0xaa};
const std::string kTargetInfo = Bytes(
    "02000c0044006f006d00610069006e00"
    "01000c0053006500720076006500720000000000");

TEST(NTLMv2, PublishedExample) {
  const TNetDigest key = NTLMHashV2("Password", "User", "Domain");
  EXPECT_EQ(Hex(key), "0c868a403bfd7a93a3001ef22ef02e3f");
  TNetNTLMChallenge challenge;
  challenge.Nonce = kServer;
  challenge.HasTargetInfo = true;
  challenge.TargetInfo = kTargetInfo;
  const TNetNTLMResponses r = NTLMv2Responses(key, challenge, kClient, 0);
  EXPECT_EQ(Hex(r.NT.substr(0, 16)), "68cd0ab851e51c96aabc927bebef6a1c");  // NTProofStr
  EXPECT_EQ(Hex(r.NT.substr(16)), "0101000000000000" "0000000000000000" "aaaaaaaaaaaaaaaa" "00000000" +
                                      Hex(kTargetInfo) + "00000000");
  EXPECT_EQ(Hex(r.LM), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");  // LMv2: no timestamp

  // With the server's timestamp the blob carries it, and the LM field is zeros.
  challenge.HasTimestamp = true;
  challenge.Timestamp = 0x01D0000000000001ull;
  const TNetNTLMResponses t = NTLMv2Responses(key, challenge, kClient, 0);
  EXPECT_EQ(Hex(t.NT.substr(24, 8)), "010000000000d001");
  EXPECT_EQ(t.LM, std::string(24, '\0'));
}

TEST(NTLMv1, ExtendedSessionSecurityPublishedExample) {
  if (!HaveDES()) GTEST_SKIP() << "libcrypto is not installed";
  // MS-NLMP 4.2.3.
  const TNetNTLMResponses r = NTLMv1Responses("Password", kServer, &kClient);
  EXPECT_EQ(Hex(r.NT), "7537f803ae367128ca458204bde7caf81e97ed2683267232");
  EXPECT_EQ(Hex(r.LM), "aaaaaaaaaaaaaaaa" + std::string(32, '0'));
}

TEST(NTLMUpperCase, UserNamesAsTheHashNeedsThem) {
  EXPECT_EQ(NTLMUpperCase("user\xC3\xA4\xC3\xBF\xC3\xB7\xC5\x82\xCF\x80\xD0\xB6z"),
            "USER\xC3\x84\xC5\xB8\xC3\xB7\xC5\x81\xCE\xA0\xD0\x96Z");  // ä ÿ ÷ ł π ж
}

class FixedNTLM : public TNetNTLMAuthentication {
  TNetNTLMNonce MakeClientChallenge() override { return kClient; }
  std::uint64_t Now() override { return 0x0102030405060708ull; }
};

std::uint32_t Le(const std::string& m, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(m[at + i]);
  return v;
}
std::string Field(const std::string& m, std::size_t at) { return m.substr(Le(m, at + 4, 4), Le(m, at, 2)); }

std::string Type2(std::uint32_t flags, const std::string& info) {
  std::string m(48, '\0');
  m.replace(0, 8, std::string("NTLMSSP\0", 8));
  m[8] = 2;
  for (int i = 0; i < 4; ++i) m[20 + i] = static_cast<char>(flags >> (8 * i));
  m.replace(24, 8, std::string(reinterpret_cast<const char*>(kServer.data()), 8));
  m[40] = m[42] = static_cast<char>(info.size()), m[44] = 48;
  return m + info;
}

// Which response the Type 3 carries, for what the server's Type 2 offers.
TEST(NTLMAuthentication, TheResponseFollowsTheChallenge) {
  if (!HaveDES()) GTEST_SKIP() << "libcrypto is not installed";
  const std::string stamp = Bytes("07000800" "0807060504030201");
  struct Case {
    const char* name;
    std::uint32_t flags;
    std::string info;
    std::size_t ntLength;  // 24 for version 1
    const char* lm;        // hex of the LM field
    std::uint32_t type3Flags;
  } cases[] = {
      {"TargetInfoAndTimestamp", 0x00888205, stamp + kTargetInfo, 16 + 28 + 12 + kTargetInfo.size() + 4,
       "000000000000000000000000000000000000000000000000", kNTLMType3Flags | kNTLMExtendedSessionSecurity},
      {"TargetInfoNoTimestamp", 0x00808205, kTargetInfo, 16 + 28 + kTargetInfo.size() + 4,
       nullptr /* LMv2 */, kNTLMType3Flags},
      {"ExtendedSessionSecurityOnly", 0x00088205, "", 24, "aaaaaaaaaaaaaaaa00000000000000000000000000000000",
       kNTLMType3Flags | kNTLMExtendedSessionSecurity},
      {"Neither", 0x00008205, "", 24, nullptr /* the NT response again */, kNTLMType3Flags},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixedNTLM ntlm;
    ntlm.AssignUserName("Domain\\User");
    ntlm.AssignPassword("Password");
    ASSERT_EQ(ntlm.Next(), wnDoRequest);
    std::string type1;
    ASSERT_TRUE(DecodeBase64(ntlm.Authentication().substr(5), type1));
    EXPECT_EQ(type1.substr(32), "DOMAIN");  // no workstation unless one is set
    EXPECT_EQ(Le(type1, 12, 4) & kNTLMWorkstationSupplied, 0u);
    ntlm.AuthParams().Add("NTLM " + EncodeBase64(Type2(c.flags, c.info)));
    ASSERT_EQ(ntlm.Next(), wnDoRequest);
    std::string type3;
    ASSERT_TRUE(DecodeBase64(ntlm.Authentication().substr(5), type3));
    const std::string nt = Field(type3, 20), lm = Field(type3, 12);
    EXPECT_EQ(nt.size(), c.ntLength);
    if (c.ntLength > 24) {
      EXPECT_EQ(Field(type3, 28), UTF16LEBytes("Domain"));  // as typed: the hash took it so
      EXPECT_EQ(Hex(nt.substr(24, 8)), "0807060504030201");  // the server's time, else ours
      EXPECT_EQ(nt.substr(32, 8), std::string(8, '\xaa'));
    } else {
      EXPECT_EQ(Field(type3, 28), UTF16LEBytes("DOMAIN"));
    }
    const std::string lmv2 = Hex(lm.substr(0, 16)) + "aaaaaaaaaaaaaaaa";  // its HMAC: the impacket test
    EXPECT_EQ(Hex(lm), c.lm ? std::string(c.lm) : c.ntLength > 24 ? lmv2 : Hex(nt));
    EXPECT_EQ(Field(type3, 44), "");
    EXPECT_EQ(Le(type3, 60, 4), c.type3Flags);
    // Sent once; when its connection closes, the exchange is complete.
    EXPECT_EQ(ntlm.Authentication(), "");
    ntlm.Disconnected();
    EXPECT_EQ(ntlm.CurrentStep(), ntlm.Steps());
  }
}

}  // namespace
}  // namespace tarvo::http
