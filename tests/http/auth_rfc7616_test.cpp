// What servers of today expect from authentication and cookies: RFC 7616's hashes and the
// choice among challenges, UTF-8 credentials, public suffixes and the epoch as an expiry.
#include <gtest/gtest.h>

#include "http/auth_digest.h"
#include "http/auth_secret.h"
#include "http/authentication.h"
#include "http/cookie_list.h"
#include "http/cookie_public_suffix.h"
#include "http/message_digest_sha2.h"

namespace tarvo::http {
namespace {

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) out += d[b >> 4], out += d[b & 15];
  return out;
}

TEST(SHA2, KnownAnswers) {
  struct Case {
    std::string input;
    const char* sha256;
    const char* sha512_256;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
       "c672b8d1ef56ed28ab87c3622c5114069bdd3ad7b8f9737498d0c01ecef0967a"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
       "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
       "9a59a052930187a97038cae692f30708aa6491923ef5194394dc68d56c74fb21"},
  };
  for (const Case& c : cases) {
    TNetHashSHA256 a;
    TNetHashSHA512_256 b;
    // In uneven pieces, to cross the block edges.
    for (std::size_t at = 0; at < c.input.size(); at += 77) {
      a.Update(std::string_view(c.input).substr(at, 77));
      b.Update(std::string_view(c.input).substr(at, 77));
    }
    EXPECT_EQ(Hex(a.Final()), c.sha256);
    EXPECT_EQ(Hex(b.Final()), c.sha512_256);
  }
}

// Empty list elements are allowed anywhere in a header value (RFC 9110 section 5.6.1).
TEST(DigestRfc7616, SplitsChallengesAroundEmptyListElements) {
  struct Case {
    const char* value;
    std::vector<std::string> pieces;
  } cases[] = {
      {",Digest realm=\"a\", nonce=\"n\"", {"Digest realm=\"a\", nonce=\"n\""}},
      {" , ,Digest realm=\"a\", , Basic realm=\"b\",", {"Digest realm=\"a\"", "Basic realm=\"b\""}},
      {"Digest realm=\"a, Basic x\", nonce=n", {"Digest realm=\"a, Basic x\", nonce=n"}},
      {",,,", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitChallenges(c.value), c.pieces) << c.value;
}

class FixedNonce : public TNetDigestAuthentication {
  std::string MakeClientNonce() override { return "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"; }
};

// RFC 7616 section 3.9.1: both challenges in one answer, SHA-256 first; the client takes
// SHA-256 whatever the order.
TEST(DigestRfc7616, TakesTheStrongestChallengeInAnyOrder) {
  const char* sha = R"(Digest realm="http-auth@example.org", qop="auth, auth-int", algorithm=SHA-256, nonce="7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v", opaque="FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS")";
  const char* md5 = R"(Digest realm="http-auth@example.org", qop="auth, auth-int", algorithm=MD5, nonce="7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v", opaque="FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS")";
  const std::vector<std::vector<std::string>> orders = {
      {sha, md5}, {md5, sha}, {std::string(md5) + ", " + sha}, {"Basic realm=\"x\"", md5, sha}};
  for (const auto& lines : orders) {
    FixedNonce d;
    d.AssignUserName("Mufasa");
    d.AssignPassword("Circle of Life");
    for (const std::string& l : lines) d.AuthParams().Add(l);
    ASSERT_EQ(d.Next(), wnDoRequest);
    d.SetRequest("GET", "/dir/index.html");
    d.SetEntityBody("");
    const std::string h = d.Authentication();
    EXPECT_NE(h.find("algorithm=SHA-256,"), std::string::npos) << h;
    // With auth-int offered it is chosen; the RFC's example answers "auth", so check the
    // hash through a challenge offering only that.
  }
  FixedNonce d;
  d.AssignUserName("Mufasa");
  d.AssignPassword("Circle of Life");
  d.AuthParams().Add(R"(Digest realm="http-auth@example.org", qop="auth", algorithm=SHA-256, nonce="7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v", opaque="FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS")");
  ASSERT_EQ(d.Next(), wnDoRequest);
  d.SetRequest("GET", "/dir/index.html");
  EXPECT_EQ(d.Authentication(),
            R"(Digest username="Mufasa", realm="http-auth@example.org", nonce="7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v", uri="/dir/index.html", algorithm=SHA-256, qop=auth, nc=00000001, cnonce="f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ", response="753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1", opaque="FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS")");
  // The server's proof: rspauth over ":uri" with the same nonce count; a wrong one is refused.
  EXPECT_FALSE(d.CheckAuthenticationInfo("rspauth=\"00\", qop=auth, nc=00000001"));
}

TEST(DigestRfc7616, UserhashAndUtf8UserNames) {
  struct Case {
    const char* challengeExtra;
    const char* user;
    const char* expectedPiece;
  } cases[] = {
      // RFC 7616 section 3.9.2's user name hash: SHA-512-256 of "J\xC3\xA4s\xC3\xB8n Doe:api@example.org".
      {", userhash=true", "J\xC3\xA4s\xC3\xB8n Doe",
       "username=\"793263caabb707a56211940d90411ea4a575adeccb7e360aeb624ed06ece9b0b\""},
      {"", "J\xC3\xA4s\xC3\xB8n Doe", "username*=UTF-8''J%C3%A4s%C3%B8n%20Doe"},
      {"", "a\"b", "username=\"a\\\"b\""},
  };
  for (const Case& c : cases) {
    FixedNonce d;
    d.AssignUserName(c.user);
    d.AssignPassword("Secret, or not?");
    d.AuthParams().Add(std::string("Digest realm=\"api@example.org\", qop=\"auth\", algorithm=SHA-512-256, "
                                   "nonce=\"5TsQWLVdgBdmrQ0XsxbDODV+57QdFR34I9HAbC/RVvkK\", charset=UTF-8") +
                       c.challengeExtra);
    ASSERT_EQ(d.Next(), wnDoRequest);
    d.SetRequest("GET", "/doe.json");
    EXPECT_NE(d.Authentication().find(c.expectedPiece), std::string::npos) << c.expectedPiece;
  }
}

TEST(BasicUtf8, NonAsciiPasswordsGoAsUtf8) {
  TNetBasicAuthentication b;
  b.AssignUserName("test");
  b.AssignPassword("123\xC2\xA3");  // RFC 7617 section 2.1's example
  EXPECT_EQ(b.Authentication(), "Basic dGVzdDoxMjPCow==");
}

TEST(Secrets, WipeClearsTheWholeCapacity) {
  std::string s = "a password that is long enough to live on the heap";
  const char* data = s.data();
  s.resize(3);
  WipeString(s);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(s.data(), data);  // the same buffer, now zeros
  for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(data[i], '\0');
}

TEST(PublicSuffix, CookiesForPublicSuffixesAreRefused) {
  struct Case {
    const char* host;
    const char* setCookie;
    bool stored;
  } cases[] = {
      {"a.example.com", "a=1; Domain=com", false},
      {"a.example.co.uk", "a=1; Domain=co.uk", false},
      {"a.example.co.uk", "a=1; Domain=example.co.uk", true},
      {"x.city.kawasaki.jp", "a=1; Domain=city.kawasaki.jp", true},  // an exception rule
      {"x.y.bd", "a=1; Domain=y.bd", false},                          // a wildcard rule
      {"a.example", "a=1; Domain=example", true},                     // not on the list
      {"co.uk", "a=1; Domain=co.uk", true},                           // its own host: host-only
  };
  for (const Case& c : cases) {
    TNetCookies store;
    EXPECT_EQ(store.AddServerCookie(c.setCookie, TNetURI(std::string("http://") + c.host + "/")), c.stored)
        << c.host << " " << c.setCookie;
  }
  EXPECT_TRUE(IsPublicSuffix("github.io"));
  EXPECT_FALSE(IsPublicSuffix("www.ck"));
}

TEST(CookieExpiry, TheEpochDeletes) {
  TNetCookies store;
  const TNetURI site("http://a.example/");
  ASSERT_TRUE(store.AddServerCookie("a=1", site));
  store.AddServerCookie("a=; Expires=Thu, 01 Jan 1970 00:00:00 GMT", site);
  EXPECT_EQ(store.Count(), 0u);
}

}  // namespace
}  // namespace tarvo::http
