#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "http/form_encoding.h"
#include "http/http_exception.h"
#include "http/uri.h"

using namespace tarvo::http;

namespace {

struct TURIParts {
  const char* Text;
  const char* Protocol;
  const char* Username;
  const char* Password;
  const char* Host;
  const char* Port;
  const char* Path;
  const char* Document;
  const char* Params;
  const char* Bookmark;
};

class URIParts : public ::testing::TestWithParam<TURIParts> {};

TEST_P(URIParts, SplitIntoTheirParts) {
  const TURIParts& c = GetParam();
  TNetURI u(c.Text);
  EXPECT_EQ(u.Protocol(), c.Protocol);
  EXPECT_EQ(u.Username(), c.Username);
  EXPECT_EQ(u.Password(), c.Password);
  EXPECT_EQ(u.Host(), c.Host);
  EXPECT_EQ(u.Port(), c.Port);
  EXPECT_EQ(u.Path(), c.Path);
  EXPECT_EQ(u.Document(), c.Document);
  EXPECT_EQ(u.Params(), c.Params);
  EXPECT_EQ(u.Bookmark(), c.Bookmark);
}

INSTANTIATE_TEST_SUITE_P(
    URI, URIParts,
    ::testing::ValuesIn(std::vector<TURIParts>{
        {"http://host/tarvo/Files/main.zip", "http", "", "", "host", "", "/tarvo/Files/", "main.zip", "", ""},
        {"http://u:p@host:8080/a/b?x=1#top", "http", "u", "p", "host", "8080", "/a/", "b", "x=1", "top"},
        {"http://host", "http", "", "", "host", "", "/", "", "", ""},
        // User information ends at the last "@"; a password without a user is no credential.
        {"http://a@b:c@host/x", "http", "a@b", "c", "host", "", "/", "x", "", ""},
        {"http://:secret@host/", "http", "", "", "host", "", "/", "", "", ""},
        {"http://[::1]:8080/", "http", "", "", "::1", "8080", "/", "", "", ""},
        // Backslashes count as slashes only where a scheme and host are already known.
        {"http:\\\\host\\dir", "", "", "", "", "", "http:\\\\host/", "dir", "", ""},
        {"../x/y.zip?q#f", "", "", "", "", "", "../x/", "y.zip", "q", "f"}}));

class URIRebuild : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(URIRebuild, LeavesOutCredentialsBookmarkAndTheSchemesDefaultPort) {
  EXPECT_EQ(TNetURI(GetParam().first).URI(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(URI, URIRebuild,
                         ::testing::ValuesIn(std::vector<std::pair<const char*, const char*>>{
                             {"http://host/tarvo/Files/main.zip", "http://host/tarvo/Files/main.zip"},
                             {"http://u:p@host:8080/a/b?x=1#top", "http://host:8080/a/b?x=1"},
                             {"http://host:80/x", "http://host/x"},
                             {"HTTPS://h:443/", "HTTPS://h/"},
                             {"ftp://h:21/f", "ftp://h/f"},
                             {"gopher://h:70/", "gopher://h:70/"},
                             {"https://h:80/", "https://h:80/"},
                             {"http://[::1]:8080/", "http://[::1]:8080/"},
                             {"http://host\\dir\\f.txt?a\\b", "http://host/dir/f.txt?a\\b"}}));

TEST(URI, RawURIKeepsEverythingAndPathAndParamsGoTogether) {
  TNetURI u("http://u:p@host:8080/a/b?x=1#top");
  EXPECT_EQ(u.RawURI(), "http://u:p@host:8080/a/b?x=1#top");
  EXPECT_EQ(u.GetPathAndParams(), "/a/b?x=1");
  EXPECT_EQ(TNetURI("http://[::1]:8080/").IPVersion(), Net_IPv6);
}

TEST(URI, RebuildWithoutSchemeOrHostRaises) {
  TNetURI u("/only/a/path");
  try {
    u.URI();
    FAIL();
  } catch (const ENetURIException& e) {
    EXPECT_EQ(e.Message(), "Protocol field is empty");
  }
  u.SetProtocol("http");
  try {
    u.URI();
    FAIL();
  } catch (const ENetURIException& e) {
    EXPECT_EQ(e.Message(), "Host field is empty");
  }
}

TEST(URI, PathMerge) {
  EXPECT_EQ(MergePaths("/a/b/", "c"), "/a/b/c");
  EXPECT_EQ(MergePaths("/a/b/", "../c"), "/a/c");
  EXPECT_EQ(MergePaths("/a/b/", "/x"), "/x");
  EXPECT_EQ(MergePaths("/a//b/", ""), "/a/b/");
  EXPECT_EQ(MergePaths("/a/b", "c/"), "/a/b/c/");
  EXPECT_EQ(MergePaths("/", "../../../etc/"), "/etc/");
  EXPECT_EQ(MergePaths("/a/", "./b"), "/a/./b");
}

TEST(URI, Encoders) {
  EXPECT_EQ(TNetURI::PathEncode("a b+c"), "a%20b%2Bc");
  EXPECT_EQ(TNetURI::ParamsEncode("a b+c"), "a%20b+c");
  EXPECT_EQ(TNetURI::ParamsEncode("<\"#%{}|\\^[]`*>"), "%3C%22%23%25%7B%7D%7C%5C%5E%5B%5D%60%2A%3E");
  EXPECT_EQ(TNetURI::PathEncode("\xC3\xA9", tarvo::net::NetEncodingUTF8()), "%C3%A9");
  EXPECT_EQ(TNetURI::PathEncode("\xC3\xA9"), "%3F");  // ASCII cannot hold it
  EXPECT_EQ(TNetURI::PathEncode("\xC2\x80", tarvo::net::NetEncoding8Bit()), "%80");
  EXPECT_EQ(TNetURI::ParamsEncode("\xC2\x80", tarvo::net::NetEncoding8Bit()), "\xC2\x80");
  EXPECT_EQ(TNetURI::PathEncode(""), "");
  EXPECT_EQ(TNetURI::URLEncode("http://u:p@h/a b/c d?x y#frag"), "http://h/a%20b/c%20d?x%20y");
}

TEST(URI, URLDecode) {
  EXPECT_EQ(TNetURI::URLDecode("%41%u00e9%zz", tarvo::net::NetEncodingUTF8()), "A\xC3\xA9");
  EXPECT_EQ(TNetURI::URLDecode("%41%u00e9", tarvo::net::NetEncoding8Bit()), "A\xC3\xA9");
  EXPECT_EQ(TNetURI::URLDecode("%C3%A9", tarvo::net::NetEncodingUTF8()), "\xC3\xA9");
  EXPECT_EQ(TNetURI::URLDecode("100%"), "100%");
  EXPECT_EQ(TNetURI::URLDecode("%uD83D%uDE00", tarvo::net::NetEncodingUTF8()), "\xF0\x9F\x98\x80");
}

TEST(FormEncoding, FieldsAndJoining) {
  EXPECT_EQ(EncodeFormField("a b&c=d", nullptr), "a+b%26c%3Dd");
  EXPECT_EQ(EncodeFormField("\xC3\xA9", nullptr), "&#233;");
  EXPECT_EQ(EncodeFormField("\xC3\xA9", tarvo::net::NetEncodingUTF8()), "%C3%A9");
  EXPECT_EQ(EncodeFormFields({"name=J Doe", "x=1&2"}, true, nullptr), "name=J+Doe&x=1%262");
  EXPECT_EQ(EncodeFormFields({"a=b c", "d"}, false, nullptr), "a=b c&d");
  EXPECT_EQ(EncodeFormFields({"  one "}, false, nullptr), "one");
}

}  // namespace
