#include <gtest/gtest.h>

#include "http/form_encoding.h"
#include "http/http_exception.h"
#include "http/uri.h"

using namespace tarvo::http;

namespace {

TEST(URI, WizardDownloadAddressSplitsAndRebuilds) {
  TNetURI u("http://host/tarvo/Files/main.zip");
  EXPECT_EQ(u.Protocol(), "http");
  EXPECT_EQ(u.Host(), "host");
  EXPECT_EQ(u.Port(), "");
  EXPECT_EQ(u.Path(), "/tarvo/Files/");
  EXPECT_EQ(u.Document(), "main.zip");
  EXPECT_EQ(u.Params(), "");
  EXPECT_EQ(u.GetPathAndParams(), "/tarvo/Files/main.zip");
  EXPECT_EQ(u.URI(), "http://host/tarvo/Files/main.zip");
}

TEST(URI, AllPartsAndTheirRebuild) {
  TNetURI u("http://u:p@host:8080/a/b?x=1#top");
  EXPECT_EQ(u.Username(), "u");
  EXPECT_EQ(u.Password(), "p");
  EXPECT_EQ(u.Host(), "host");
  EXPECT_EQ(u.Port(), "8080");
  EXPECT_EQ(u.Path(), "/a/");
  EXPECT_EQ(u.Document(), "b");
  EXPECT_EQ(u.Params(), "x=1");
  EXPECT_EQ(u.Bookmark(), "top");
  EXPECT_EQ(u.URI(), "http://host:8080/a/b?x=1");
  EXPECT_EQ(u.RawURI(), "http://u:p@host:8080/a/b?x=1#top");
  EXPECT_EQ(TNetURI("http://host").Path(), "/");
  EXPECT_EQ(TNetURI("http://host").Document(), "");
}

TEST(URI, UserInfoSplitsAtLastAtSign) {
  TNetURI u("http://a@b:c@host/x");
  EXPECT_EQ(u.Username(), "a@b");
  EXPECT_EQ(u.Password(), "c");
  EXPECT_EQ(u.Host(), "host");
  TNetURI empty("http://:secret@host/");
  EXPECT_EQ(empty.Username(), "");
  EXPECT_EQ(empty.Password(), "");
}

TEST(URI, DefaultPortsAreLeftOutOnlyForTheirScheme) {
  EXPECT_EQ(TNetURI("http://host:80/x").URI(), "http://host/x");
  EXPECT_EQ(TNetURI("HTTPS://h:443/").URI(), "HTTPS://h/");
  EXPECT_EQ(TNetURI("ftp://h:21/f").URI(), "ftp://h/f");
  EXPECT_EQ(TNetURI("gopher://h:70/").URI(), "gopher://h:70/");
  EXPECT_EQ(TNetURI("https://h:80/").URI(), "https://h:80/");
}

TEST(URI, IPv6LiteralKeepsBracketsOutOfTheHost) {
  TNetURI u("http://[::1]:8080/");
  EXPECT_EQ(u.Host(), "::1");
  EXPECT_EQ(u.Port(), "8080");
  EXPECT_EQ(u.IPVersion(), Net_IPv6);
  EXPECT_EQ(u.URI(), "http://[::1]:8080/");
}

TEST(URI, BackslashesBecomeSlashesBeforeTheQueryOnly) {
  EXPECT_EQ(TNetURI("http://host\\dir\\f.txt?a\\b").URI(), "http://host/dir/f.txt?a\\b");
  TNetURI rel("http:\\\\host\\dir");
  EXPECT_EQ(rel.Protocol(), "");
  EXPECT_EQ(rel.Host(), "");
  EXPECT_EQ(rel.Path(), "http:\\\\host/");
  EXPECT_EQ(rel.Document(), "dir");
}

TEST(URI, RelativeReferencesKeepTheirPathAsWritten) {
  TNetURI u("../x/y.zip?q#f");
  EXPECT_EQ(u.Path(), "../x/");
  EXPECT_EQ(u.Document(), "y.zip");
  EXPECT_EQ(u.Params(), "q");
  EXPECT_EQ(u.Bookmark(), "f");
  EXPECT_EQ(u.Host(), "");
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
