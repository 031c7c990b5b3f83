// Cookies: the cookie-date algorithm, Set-Cookie reading against the responding URI, the
// store's replacement, deletion, ordering and purge, and the Cookie header it produces.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "http/cookie_date.h"
#include "http/cookie_manager.h"
#include "http/set_cookie.h"

using namespace tarvo::http;

namespace {

constexpr TNetDateTime kNow = 1'700'000'000;  // a fixed "now" for every case

TNetDateTime At(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

// --- cookie dates ------------------------------------------------------------------------

struct DateCase {
  const char* text;
  TNetDateTime expected;  // 0: invalid
};

class CookieDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(CookieDate, ReadsOrRejects) {
  TNetDateTime v = 0;
  bool ok = ParseCookieDate(GetParam().text, v);
  EXPECT_EQ(ok, GetParam().expected != 0) << GetParam().text;
  if (ok) {
    EXPECT_EQ(v, GetParam().expected) << GetParam().text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CookieDate,
    ::testing::Values(DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37)},
                      DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37)},
                      DateCase{"Sun Nov  6 08:49:37 1994", At(1994, 11, 6, 8, 49, 37)},
                      DateCase{"1:2:3 7 january 2000", At(2000, 1, 7, 1, 2, 3)},
                      DateCase{"06 11 1994 08:49:37", At(1994, 11, 6, 8, 49, 37)},  // numeric month after the day
                      DateCase{"01 Jan 70 00:00:01", At(1970, 1, 1, 0, 0, 1)},
                      DateCase{"01 Jan 69 00:00:00", At(2069, 1, 1, 0, 0, 0)},
                      DateCase{"29 Feb 2024 12:00:00", At(2024, 2, 29, 12, 0, 0)},
                      DateCase{"Wed, 09 Jun 2021 10:18:14 GMTfoo", At(2021, 6, 9, 10, 18, 14)},
                      DateCase{"29 Feb 2023 12:00:00", 0},                                       // no such day
                      DateCase{"31 Apr 2023 12:00:00", 0}, DateCase{"01 Jan 1600 00:00:00", 0},  // before 1601
                      DateCase{"01 Jan 2021 24:00:00", 0}, DateCase{"01 Jan 2021 23:60:00", 0},
                      DateCase{"01 Jan 2021 23:00:60", 0}, DateCase{"01 Jan 2021", 0},  // no time
                      DateCase{"Jan 2021 10:00:00", 0},                                 // no day
                      DateCase{"", 0}, DateCase{"999:1:1 01 Jan 2021", 0}));

// --- one Set-Cookie value ------------------------------------------------------------------

struct ParseCase {
  const char* name;
  const char* url;  // the responding URI
  const char* text;
  bool stored;
  const char* cookieName = "";
  const char* value = "";
  const char* domain = "";
  const char* path = "";
  bool hostOnly = false;
  TNetDateTime expires = -1;  // -1: session; otherwise an absolute time
  bool secure = false;
  bool httpOnly = false;
};

constexpr const char* kMain = "http://a.example/tarvo/Files/main.zip";
constexpr TNetDateTime kSession = -1;

class SetCookieParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(SetCookieParse, ReadsAgainstTheRespondingURI) {
  const ParseCase& c = GetParam();
  auto cookie =
      ParseServerCookie(std::string_view(c.text, std::char_traits<char>::length(c.text)), TNetURI(c.url), kNow);
  ASSERT_EQ(cookie != nullptr, c.stored);
  if (!cookie) return;
  EXPECT_EQ(cookie->CookieName(), c.cookieName);
  EXPECT_EQ(cookie->Value(), c.value);
  EXPECT_EQ(cookie->Domain(), c.domain);
  EXPECT_EQ(cookie->Path(), c.path);
  EXPECT_EQ(cookie->HostOnly(), c.hostOnly);
  EXPECT_EQ(cookie->Persistent(), c.expires != kSession);
  EXPECT_EQ(cookie->Expires(), c.expires == kSession ? kCookieSessionExpiry : c.expires);
  EXPECT_EQ(cookie->Secure(), c.secure);
  EXPECT_EQ(cookie->HttpOnly(), c.httpOnly);
}

const ParseCase kParseCases[] = {
    {"HostOnlyDefaultPath", kMain, "a=1", true, "a", "1", "a.example", "/tarvo/Files", true, kSession},
    {"QuotedValue", kMain, " a = \"x y\" ; Path=/", true, "a", "x y", "a.example", "/", true, kSession},
    {"DomainLosesLeadingDotAndPort", kMain, "a=1; Domain=.EXAMPLE:8080", true, "a", "1", "example", "/tarvo/Files",
     false, kSession},
    {"ForeignDomain", kMain, "a=1; Domain=other", false},
    {"SuffixWithoutDot", "http://xa.example/", "a=1; Domain=a.example", false},
    {"DomainOnAnAddress", "http://10.0.0.1/", "a=1; Domain=0.0.1", false},
    {"EmptyName", kMain, "=x", false},
    {"NoEquals", kMain, "novalue", false},
    {"RelativePath", kMain, "a=1; Path=rel", true, "a", "1", "a.example", "/tarvo/Files", true, kSession},
    {"FlagsAnyCase", kMain, "a=1; secure; HTTPONLY", true, "a", "1", "a.example", "/tarvo/Files", true, kSession, true,
     true},
    {"MaxAgeWinsOverExpires", kMain, "a=1; Max-Age=60; Expires=Thu, 01 Jan 1998 00:00:00 GMT", true, "a", "1",
     "a.example", "/tarvo/Files", true, kNow + 60},
    {"LastMaxAgeWins", kMain, "a=1; Max-Age=60; Max-Age=5", true, "a", "1", "a.example", "/tarvo/Files", true,
     kNow + 5},
    {"IntegerExpires", kMain, "a=1; Expires=120", true, "a", "1", "a.example", "/tarvo/Files", true, kNow + 120},
    {"ZeroMaxAgeIsLongExpired", kMain, "a=1; Max-Age=0", true, "a", "1", "a.example", "/tarvo/Files", true,
     kCookieLongExpired},
    {"HugeMaxAgeSaturates", kMain, "a=1; Max-Age=9223372036854775807", true, "a", "1", "a.example", "/tarvo/Files",
     true, kCookieSessionExpiry},
    {"BadMaxAgeIgnored", kMain, "a=1; Max-Age=1e3; Expires=soon", true, "a", "1", "a.example", "/tarvo/Files", true,
     kSession},
    {"DateExpires", kMain, "a=1; expires=Sun, 06 Nov 1994 08:49:37 GMT", true, "a", "1", "a.example", "/tarvo/Files",
     true, At(1994, 11, 6, 8, 49, 37)},
    {"HttpOnlyOutsideHTTP", "ftp://a.example/x/", "a=1; HttpOnly", false},
    // Text that could split a request line never becomes a cookie.
    {"CarriageReturnInValue", kMain, "a=1\rX-Injected: 1", false},
    {"LineFeedInName", kMain, "a\nb=1", false},
    {"ControlInAttribute", kMain, "a=1; Path=/\x01", false},
    {"OversizedPair", kMain, nullptr, false},
};

std::vector<ParseCase> ParseCases() {
  std::vector<ParseCase> cases(std::begin(kParseCases), std::end(kParseCases));
  static const std::string big = "a=" + std::string(THTTPLimits::kMaxCookiePairBytes, 'v');
  for (ParseCase& c : cases)
    if (c.text == nullptr) c.text = big.c_str();
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, SetCookieParse, ::testing::ValuesIn(ParseCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetCookieParse, NulInsideTheTextIsSeen) {
  const std::string text("a=1\0b", 5);
  EXPECT_EQ(ParseServerCookie(text, TNetURI(kMain), kNow), nullptr);
}

TEST(SetCookieParse, SpecialDatesAreWhatTheCalendarSays) {
  EXPECT_EQ(kCookieSessionExpiry, At(9999, 12, 31, 23, 59, 59));
  EXPECT_EQ(kCookieLongExpired, At(1, 1, 1, 0, 0, 0));
}

// --- the store: replacement, deletion, order, matching -------------------------------------

struct StoreCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> responses;  // responding URI, Set-Cookie
  std::vector<std::pair<const char*, const char*>> requests;   // target, expected Cookie value
};

class CookieStore : public ::testing::TestWithParam<StoreCase> {};

TEST_P(CookieStore, SendsWhatMatches) {
  TNetCookieManager manager;
  manager.CookieCollection().SetClock([] { return kNow; });
  for (const auto& [url, text] : GetParam().responses) manager.AddServerCookie(text, TNetURI(url));
  for (const auto& [url, expected] : GetParam().requests) {
    TNetHeaderList headers;
    headers.Add("Host: x");
    manager.AddCookieHeader(headers, TNetURI(url));
    EXPECT_EQ(headers.Values("Cookie"), expected) << url;
    if (*expected != '\0') {
      EXPECT_EQ(headers.Names(headers.Count() - 1), "Cookie");
    }
  }
}

const StoreCase kStoreCases[] = {
    {"PathOfTheRequest",
     {{kMain, "a=1"}},
     {{"http://a.example/tarvo/Files/upgrade.zip", "a=1"},
      {"http://a.example/tarvo/Files/x/y", "a=1"},
      {"http://a.example/tarvo/Files", "a=1"},  // the cookie's path itself
      {"http://a.example/tarvo/files/upgrade.zip", ""},  // paths are case-sensitive
      {"http://a.example/tarvo/FilesX", ""},
      {"http://a.example/tarvo/other", ""},
      {"http://b.example/tarvo/Files/upgrade.zip", ""}}},
    {"DomainCookieReachesSiblings",
     {{kMain, "a=1; Domain=.example; Path=/"}, {kMain, "h=2; Path=/"}},
     {{"http://b.example/", "a=1"},
      {"http://A.EXAMPLE/", "a=1; h=2"},
      {"http://example/", "a=1"},
      {"http://xexample/", ""}}},
    {"SecureOnlyOverHTTPS",
     {{kMain, "s=1; Secure; Path=/"}},
     {{"http://a.example/", ""}, {"HTTPS://a.example/", "s=1"}}},
    {"LongerPathFirst",
     {{kMain, "a=1; Path=/"}, {kMain, "b=2; Path=/tarvo"}},
     {{"http://a.example/tarvo/x", "b=2; a=1"}}},
    {"ReplacementKeepsCreationOrder",
     {{kMain, "a=1; Path=/"}, {kMain, "b=1; Path=/"}, {kMain, "A=3; Path=/"}},
     {{"http://a.example/", "A=3; b=1"}}},
    {"MaxAgeZeroDeletes",
     {{kMain, "a=1"}, {kMain, "b=1"}, {kMain, "a=2; Max-Age=0"}},
     {{"http://a.example/tarvo/Files/x", "b=1"}}},
    {"PastExpiresDeletes",
     {{kMain, "a=1"}, {kMain, "a=2; Expires=Thu, 01 Jan 1998 00:00:00 GMT"}},
     {{"http://a.example/tarvo/Files/x", ""}}},
    {"OtherPathIsAnotherCookie",
     {{kMain, "a=1; Path=/"}, {kMain, "a=2; Path=/tarvo"}},
     {{"http://a.example/tarvo/", "a=2; a=1"}, {"http://a.example/", "a=1"}}},
    // After a redirect the cookie is judged against the host that set it.
    {"RespondingHostAfterRedirect",
     {{"http://b.example/next/", "r=1; Domain=b.example; Path=/"}, {"http://b.example/next/", "h=1; Path=/"}},
     {{"http://b.example/", "r=1; h=1"}, {"http://a.example/", ""}}},
    {"AddressHostOnly", {{"http://127.0.0.1:8080/d/f", "a=1"}}, {{"http://127.0.0.1/d/", "a=1"}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CookieStore, ::testing::ValuesIn(kStoreCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CookieStore, ExpiredCookiesArePurgedWhenARequestIsMade) {
  TNetDateTime now = kNow;
  TNetCookieManager manager;
  manager.CookieCollection().SetClock([&] { return now; });
  const TNetURI site(kMain);
  manager.AddServerCookie("p=1; Max-Age=60", site);
  manager.AddServerCookie("s=1", site);
  TNetHeaderList headers;
  now += 61;
  manager.GenerateClientCookies(site, false, headers);
  EXPECT_EQ(headers.Values("Cookie"), "s=1");
  EXPECT_EQ(manager.CookieCollection().Count(), 1u);
}

TEST(CookieStore, OnNewCookieCanRefuseAndSeesTheParsedCookie) {
  TNetCookieManager manager;
  std::vector<std::string> seen;
  manager.OnNewCookie = [&](TNetCookieManager*, TNetCookie* c, bool& accept) {
    seen.push_back(c->CookieName() + "@" + c->Domain());
    accept = c->CookieName() != "no";
  };
  TNetHeaderList response;
  for (const char* line : {"Set-Cookie: yes=1", "Content-Type: text/plain", "set-cookie: no=1", "Set-Cookie: =bad"})
    response.Add(line);
  manager.AddServerCookies(response, TNetURI(kMain));
  EXPECT_EQ(seen, (std::vector<std::string>{"yes@a.example", "no@a.example"}));
  EXPECT_EQ(manager.CookieCollection().Count(), 1u);
}

TEST(CookieStore, HttpOnlyCookieSurvivesANonHTTPReplacement) {
  TNetCookies cookies;
  cookies.AddServerCookie("a=1; HttpOnly; Path=/", TNetURI("http://a.example/"));
  auto replacement = ParseServerCookie("a=2; Path=/", TNetURI("ftp://a.example/"), NetNow());
  ASSERT_NE(replacement, nullptr);
  EXPECT_FALSE(cookies.AddCookie(std::move(replacement), TNetURI("ftp://a.example/")));
  EXPECT_EQ(cookies.ClientCookieHeader(TNetURI("http://a.example/"), false), "a=1");
  EXPECT_EQ(cookies.ClientCookieHeader(TNetURI("ftp://a.example/"), false), "");
}

TEST(CookieStore, CookiesAddedOutsideTheParserNeverBreakARequest) {
  TNetCookies cookies;
  cookies.AddClientCookies("ok=1; bad=x\ry; worse=\nz; nul=a\0b");
  cookies.AddClientCookie(std::string("nul=a\0b", 7));
  EXPECT_EQ(cookies.ClientCookieHeader(TNetURI("http://h/"), false), "");  // host-less: none match
  auto c = std::make_unique<TNetCookie>();
  c->SetCookieName("evil");
  c->SetValue("1\r\nX-Injected: yes");
  c->SetDomain("h");
  c->SetHostOnly(true);
  c->SetPath("/");
  cookies.AddCookie(std::move(c), TNetURI("http://h/"));
  cookies.AddServerCookie("fine=1; Path=/", TNetURI("http://h/"));
  EXPECT_EQ(cookies.ClientCookieHeader(TNetURI("http://h/"), false), "fine=1");
}

TEST(CookieStore, AServerCannotGrowTheStoreWithoutEnd) {
  TNetCookies cookies;
  for (std::size_t i = 0; i < THTTPLimits::kMaxStoredCookies + 10; ++i)
    cookies.AddServerCookie("c=1", TNetURI("http://h" + std::to_string(i) + ".example/"));
  EXPECT_EQ(cookies.Count(), THTTPLimits::kMaxStoredCookies);
  // One site gets its share and no more; its oldest cookie goes first.
  TNetCookies one;
  const TNetURI site("http://a.example/");
  for (std::size_t i = 0; i < THTTPLimits::kMaxCookiesPerDomain + 10; ++i)
    one.AddServerCookie("c" + std::to_string(i) + "=" + std::string(200, 'v'), site);
  EXPECT_EQ(one.Count(), THTTPLimits::kMaxCookiesPerDomain);
  EXPECT_LT(one.GetCookieIndex("c0"), 0);
  EXPECT_LE(one.ClientCookieHeader(site, false).size(), THTTPLimits::kMaxCookieHeaderBytes);
}

TEST(CookieStore, ClientsSharingOneManagerCanAddAndSendAtOnce) {
  TNetCookieManager manager;
  std::vector<std::thread> clients;
  for (int t = 0; t < 4; ++t)
    clients.emplace_back([&manager, t] {
      const TNetURI site("http://a.example/p/");
      for (int i = 0; i < 300; ++i) {
        manager.AddServerCookie("c" + std::to_string(i % 40) + "=" + std::to_string(t) + "; Max-Age=" +
                                    std::to_string(i % 3),
                                site);
        TNetHeaderList headers;
        manager.AddCookieHeader(headers, site);
      }
    });
  for (std::thread& c : clients) c.join();
  EXPECT_LE(manager.CookieCollection().Count(), 40u);
}

}  // namespace
