// Data-driven protocol cases: each file in cases/ holds the client's settings, the exact
// requests expected, the server's responses and the expected outcome. Every case runs
// against the in-memory peer with each response whole and split at every byte offset, and
// once against a loopback socket. The cases about the head and the body framing also run
// with no peer and no client: the response bytes go straight to the fed readers.
//
// File format: sections start with "--- settings", "--- request", "--- response" (one per
// response, in order) and "--- expect". In request and response sections every line gets
// CR LF appended, except a line ending in "\c"; a request line "<get PATH>" stands for the
// plain GET of a default client to {host} with its empty line; escapes \r \n \t \0 \xHH \\ are decoded; a
// response line "<close>" makes the peer close after that response. "{host}" stands for the
// server's address and port, "{port}" for its port alone. Settings and expectations are
// "key: value" lines; an unknown section, key or option value fails the case.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <sstream>

#include "core/memory_stream.h"
#include "http/chunk_framer.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "http/response_head_reader.h"
#include "net/net_exception.h"
#include "scripted_peer.h"

using namespace tarvo;
using namespace tarvo::http;
using tarvo::http::testing::TScriptedServer;
using tarvo::http::testing::TScriptedMemoryPeer;
using tarvo::http::testing::TScriptedResponse;

namespace {

struct TCase {
  std::string Name;
  std::multimap<std::string, std::string> Settings;
  std::string Request;
  std::vector<TScriptedResponse> Responses;
  std::multimap<std::string, std::string> Expect;

  std::string Setting(const std::string& key, const std::string& def = {}) const {
    auto it = Settings.find(key);
    return it == Settings.end() ? def : it->second;
  }
};

std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    switch (c) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '0': out += '\0'; break;
      case '\\': out += '\\'; break;
      case 'x': out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)); i += 2; break;
      default: out += '\\'; out += c;
    }
  }
  return out;
}

std::string WireLine(const std::string& line) {
  if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\\c") == 0) return Unescape(line.substr(0, line.size() - 2));
  return Unescape(line) + "\r\n";
}

const std::set<std::string> kSettingKeys = {
    "url", "method", "source", "calls", "ignore", "stream-prefill", "split", "loopback", "redirects",
    "redirect-maximum", "version", "option", "proxy", "header", "user", "password", "basic", "proxy-user",
    "proxy-password", "proxy-basic", "proxy-handler", "compressor"};
const std::set<std::string> kExpectKeys = {"error", "message", "error-message", "code", "text", "body",
                                           "redirects", "header", "location", "charset", "connected"};
const std::map<std::string, TNetHTTPOption> kOptions = {
    {"hoInProcessAuth", hoInProcessAuth},
    {"hoTreat302Like303", hoTreat302Like303},
    {"hoWaitForUnexpectedData", hoWaitForUnexpectedData},
    {"hoNoProtocolErrorException", hoNoProtocolErrorException},
    {"hoKeepOrigProtocol", hoKeepOrigProtocol},
    {"hoNonSSLProxyUseConnectVerb", hoNonSSLProxyUseConnectVerb}};

TCase LoadCase(const std::filesystem::path& file) {
  TCase c;
  c.Name = file.stem().string();
  std::ifstream in(file, std::ios::binary);
  std::string line, section;
  auto bad = [&](const std::string& what) {
    throw std::runtime_error(c.Name + ": " + what + ": " + line);
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("--- ", 0) == 0) {
      section = line.substr(4);
      if (section == "response") c.Responses.emplace_back();
      if (section != "settings" && section != "request" && section != "response" && section != "expect")
        bad("unknown section");
      continue;
    }
    if (section.empty()) {
      if (!line.empty() && line[0] != '#') bad("text before the first section");
      continue;
    }
    if (section == "settings" || section == "expect") {
      if (line.empty() || line[0] == '#') continue;
      std::size_t colon = line.find(':');
      std::string key = line.substr(0, colon);
      if (!(section == "settings" ? kSettingKeys : kExpectKeys).count(key)) bad("unknown key");
      if (key == "option" && !kOptions.count(line.substr(colon + 2))) bad("unknown option");
      std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
      if (!value.empty() && value[0] == ' ') value.erase(0, 1);
      (section == "settings" ? c.Settings : c.Expect).emplace(key, Unescape(value));
    } else if (section == "request") {
      if (line.rfind("<get ", 0) == 0 && line.back() == '>') {
        // The plain GET of a default client, with its empty line.
        c.Request += "GET " + line.substr(5, line.size() - 6) + " HTTP/1.1\r\n";
        for (const char* l : {"Host: {host}", "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
                              "Accept-Encoding: identity", "User-Agent: Mozilla/3.0 (compatible; T.Arvo Setup)", ""})
          c.Request += WireLine(l);
        continue;
      }
      c.Request += WireLine(line);
    } else if (section == "response") {
      if (line == "<close>")
        c.Responses.back().CloseAfter = true;
      else
        c.Responses.back().Bytes += WireLine(line);
    }
  }
  return c;
}

std::string Substitute(std::string text, const std::string& host) {
  for (std::size_t at; (at = text.find("{host}")) != std::string::npos;) text.replace(at, 6, host);
  std::string port = host.substr(host.rfind(':') + 1);
  for (std::size_t at; (at = text.find("{port}")) != std::string::npos;) text.replace(at, 6, port);
  return text;
}

// Uppercases instead of inflating, pulling its input in small blocks as a real decoder does,
// and stops at "!" as a decoder stops at the end of its stream: what follows in the body
// must still leave the connection.
class TUpperDecompressor : public INetDecompressor {
public:
  bool IsReady() const override { return true; }
  void DecompressDeflateStream(core::TStream& source, core::TStream& destination) override { Copy(source, destination); }
  void DecompressGZipStream(core::TStream& source, core::TStream& destination) override { Copy(source, destination); }

private:
  static void Copy(core::TStream& source, core::TStream& destination) {
    char block[3];
    for (std::size_t n; (n = source.Read(block, sizeof block)) > 0;) {
      std::string text(block, n);
      std::size_t stop = text.find('!');
      for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      destination.WriteBuffer(text.data(), std::min(stop, n));
      if (stop != std::string::npos) return;
    }
  }
};

struct TOutcome {
  std::string Error;    // exception class, empty when none
  std::string Message;  // exception message
  std::string ErrorMessage;
  int Code = 0;
  std::string Text;
  std::string Body;
  int Redirects = 0;
  bool Connected = false;
  TNetHTTP* Client = nullptr;
};

void Configure(TNetHTTP& http, const TCase& c, const std::string& host) {
  for (auto& [key, value] : c.Settings) {
    if (key == "redirects") http.SetHandleRedirects(value == "on");
    if (key == "redirect-maximum") http.SetRedirectMaximum(std::stoi(value));
    if (key == "version") http.SetProtocolVersion(value == "1.0" ? pv1_0 : pv1_1);
    if (key == "option") http.SetHTTPOptions(http.HTTPOptions() | kOptions.at(value));
    if (key == "user") http.Request().SetUsername(value);
    if (key == "password") http.Request().SetPassword(value);
    if (key == "basic") http.Request().SetBasicAuthentication(value == "on");
    if (key == "proxy-user") http.ProxyParams().SetProxyUsername(value);
    if (key == "proxy-password") http.ProxyParams().SetProxyPassword(value);
    if (key == "proxy-basic") http.ProxyParams().SetBasicAuthentication(value == "on");
    // A program that answers the proxy's challenges; the credentials are the settings' own.
    if (key == "proxy-handler")
      http.OnProxyAuthorization = [](TNetCustomHTTP*, TNetAuthentication*, bool& handled) { handled = true; };
    if (key == "proxy") {
      http.ProxyParams().SetProxyServer(Substitute(value, host).substr(0, Substitute(value, host).rfind(':')));
      std::string p = Substitute(value, host);
      http.ProxyParams().SetProxyPort(std::stoi(p.substr(p.rfind(':') + 1)));
    }
    if (key == "header") http.Request().CustomHeaders().Add(value);
    if (key == "compressor") {
      static TUpperDecompressor upper;
      http.SetCompressor(&upper);
    }
  }
}

TOutcome RunCase(TNetHTTP& http, const TCase& c, const std::string& host) {
  TOutcome out;
  out.Client = &http;
  core::TMemoryStream body;
  std::string prefill = c.Setting("stream-prefill");
  body.WriteBuffer(prefill.data(), prefill.size());
  std::vector<int> ignore;
  if (!c.Setting("ignore").empty()) ignore.push_back(std::stoi(c.Setting("ignore")));
  std::string url = Substitute(c.Setting("url"), host);
  std::string method = c.Setting("method", "GET");
  std::string sourceText = c.Setting("source");
  core::TMemoryStream source(std::vector<std::uint8_t>(sourceText.begin(), sourceText.end()));
  try {
    for (int i = 0, n = std::stoi(c.Setting("calls", "1")); i < n; ++i)
      http.DoRequest(method, url, c.Settings.count("source") ? &source : nullptr, &body, ignore);
  } catch (const ENetHTTPProtocolException& e) {
    out.Error = "ENetHTTPProtocolException";
    out.Message = e.Message();
    out.ErrorMessage = e.ErrorMessage();
    out.Code = e.ErrorCode();
  } catch (const ENetHTTPBadResponse& e) {
    out.Error = "ENetHTTPBadResponse";
    out.Message = e.Message();
  } catch (const ENetHTTPInvalidRequestText& e) {
    out.Error = "ENetHTTPInvalidRequestText";
    out.Message = e.Message();
  } catch (const net::ENetConnClosedGracefully& e) {
    out.Error = "ENetConnClosedGracefully";
    out.Message = e.Message();
  } catch (const net::ENetReadTimeout& e) {
    out.Error = "ENetReadTimeout";
    out.Message = e.Message();
  } catch (const ENetException& e) {
    out.Error = "ENetException";
    out.Message = e.Message();
  }
  out.Code = out.Error.empty() || out.Error == "ENetHTTPProtocolException" ? http.ResponseCode() : out.Code;
  out.Text = http.ResponseText();
  out.Body = body.DataString();
  out.Redirects = http.RedirectCount();
  // Whether the connection is still open to carry a next request (Connected() also counts
  // unread bytes of a closed one).
  out.Connected = http.IOHandler() != nullptr && http.IOHandler()->Opened();
  return out;
}

void Check(const TCase& c, const TOutcome& o, const std::string& sent, const std::string& host,
           const std::string& where) {
  SCOPED_TRACE(c.Name + " " + where);
  EXPECT_EQ(sent, Substitute(c.Request, host));
  EXPECT_EQ(o.Error, c.Expect.count("error") ? c.Expect.find("error")->second : "") << o.Message;
  for (auto& [key, value] : c.Expect) {
    if (key == "message") {
      EXPECT_EQ(o.Message, value);
    }
    if (key == "error-message") {
      EXPECT_EQ(o.ErrorMessage, value);
    }
    if (key == "code") {
      EXPECT_EQ(o.Code, std::stoi(value));
    }
    if (key == "text") {
      EXPECT_EQ(o.Text, value);
    }
    if (key == "body") {
      EXPECT_EQ(o.Body, value);
    }
    if (key == "redirects") {
      EXPECT_EQ(o.Redirects, std::stoi(value));
    }
    if (key == "header") {
      std::string name = value.substr(0, value.find(':'));
      std::string v = value.substr(value.find(':') + 2);
      std::vector<std::string> values;
      o.Client->Response().RawHeaders().Extract(name, values);
      EXPECT_NE(std::find(values.begin(), values.end(), v), values.end()) << value;
    }
    if (key == "location") {
      EXPECT_EQ(o.Client->Response().Location(), value);
    }
    if (key == "charset") {
      EXPECT_EQ(o.Client->Response().CharSet(), value);
    }
    if (key == "connected") {
      EXPECT_EQ(o.Connected ? "yes" : "no", value);
    }
  }
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (auto& entry : std::filesystem::directory_iterator(TARVO_HTTP_CASES_DIR))
    if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

class ProtocolCase : public ::testing::TestWithParam<std::string> {};

TEST_P(ProtocolCase, InMemoryWholeAndSplitAtEveryByte) {
  TCase c = LoadCase(GetParam());
  const std::string host = "127.0.0.1:8080";
  std::size_t longest = 0;
  for (auto& r : c.Responses) longest = std::max(longest, r.Bytes.size());
  bool split = c.Setting("split", "yes") == "yes";
  for (std::size_t at = 0; at < (split ? longest : 1); ++at) {
    std::vector<TScriptedResponse> responses = c.Responses;
    for (auto& r : responses) r.Bytes = Substitute(r.Bytes, host);
    TScriptedMemoryPeer peer(responses, at);
    TNetHTTP http;
    http.SetIOHandler(&peer);
    Configure(http, c, host);
    TOutcome o = RunCase(http, c, host);
    Check(c, o, peer.OutputString(), host, "split at " + std::to_string(at));
    http.SetIOHandler(nullptr);
    if (HasFailure()) break;
  }
}

TEST_P(ProtocolCase, LoopbackSocket) {
  TCase c = LoadCase(GetParam());
  if (c.Setting("loopback", "yes") != "yes") GTEST_SKIP() << "case needs the scripted peer's exact timing";
  TScriptedServer real([&](int port) {
    std::vector<TScriptedResponse> substituted = c.Responses;
    for (auto& r : substituted) r.Bytes = Substitute(r.Bytes, "127.0.0.1:" + std::to_string(port));
    return substituted;
  });
  const std::string realHost = "127.0.0.1:" + std::to_string(real.Port());
  TOutcome o;
  std::string sent;
  {
    TNetHTTP http;
    Configure(http, c, realHost);
    o = RunCase(http, c, realHost);
    http.Disconnect();
    // The server thread records asynchronously; give it a moment to see the last bytes.
    for (int i = 0; i < 100 && real.Received().size() < Substitute(c.Request, realHost).size(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sent = real.Received();
    o.Client = &http;
    Check(c, o, sent, realHost, "loopback");
  }
}

// The cases whose outcome the readers alone decide: one response, no interim heads, no
// Content-Length rules (the protocol object's), no client settings.
const std::set<std::string> kFramingCases = {
    "003-status-with-fraction",  "004-chunked-extension-trailer", "005-chunk-size-not-hex",
    "006-chunk-size-overflow",   "007-chunk-size-63-bits",        "008-chunked-cut-short",
    "018-close-during-headers",  "033-data-after-chunk-not-line-end", "041-nul-in-response-header",
    "056-nul-in-trailer"};

// What the head reader and the chunk framing make of one response's bytes fed in pieces.
struct TFramed {
  std::string Status;
  TNetHeaderList Headers;
  std::string Body;
  std::string Error;  // message of ENetHTTPBadResponse
  bool CutShort = false;  // the bytes ended inside a chunked or counted body
};

TFramed FeedToReaders(std::string_view bytes, std::size_t piece, bool peerCloses) {
  TFramed f;
  THTTPLimits limits;
  TNetLineRules rules{net::TNetIOHandler::DefaultMaxLineLength, net::maException, nullptr};
  TNetResponseHeadReader head(rules, limits.HeaderLineBound(), limits.ResponseHeaderBytes);
  TNetChunkFramer chunks(rules, limits.HeaderLineBound(), limits.ResponseHeaderBytes, f.Headers);
  bool chunked = false;
  std::int64_t counted = -1;  // bytes of a counted body still to come
  // Takes from the front of a piece what the current reader wants.
  auto take = [&](std::string_view& in) {
    auto* data = reinterpret_cast<const std::uint8_t*>(in.data());
    if (head.WantsBytes()) {
      in.remove_prefix(head.Feed(data, in.size()));
      if (head.Step() == TNetResponseHeadReader::hrStatusRead) {
        f.Status = head.StatusLine();
        head.ReadHeadersInto(f.Headers);
      } else if (head.Step() == TNetResponseHeadReader::hrDone) {
        chunked = LowerCase(f.Headers.Values("Transfer-Encoding")).find("chunked") != std::string::npos;
        if (!chunked && !f.Headers.Values("Content-Length").empty())
          counted = std::stoll(f.Headers.Values("Content-Length"));
      }
    } else if (chunked && chunks.InData()) {
      std::size_t n = std::min<std::size_t>(in.size(), static_cast<std::size_t>(chunks.DataRemaining()));
      f.Body += in.substr(0, n);
      chunks.DataTaken(static_cast<std::int64_t>(n));
      in.remove_prefix(n);
    } else if (chunked && chunks.WantsBytes()) {
      in.remove_prefix(chunks.Feed(data, in.size()));
    } else {
      std::size_t n = counted < 0 ? in.size() : std::min<std::size_t>(in.size(), static_cast<std::size_t>(counted));
      f.Body += in.substr(0, n);
      if (counted >= 0) counted -= static_cast<std::int64_t>(n);
      in.remove_prefix(n);
      if (n == 0) in = {};  // bytes after the body belong to no reader here
    }
  };
  try {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      std::string_view in = bytes.substr(at, piece);
      while (!in.empty()) take(in);
    }
    // The chunk framing may still end with what it holds; a close ends a head early.
    std::string_view none;
    if (chunked) take(none);
    if (peerCloses && head.Step() == TNetResponseHeadReader::hrHeaderLines) head.EndAtClose();
    f.CutShort = chunked ? !chunks.Done() : counted > 0;
  } catch (const ENetHTTPBadResponse& e) {
    f.Error = e.Message();
  }
  return f;
}

class FramingCase : public ::testing::TestWithParam<std::string> {};

TEST_P(FramingCase, FedToTheReadersWithNoPeer) {
  TCase c = LoadCase(GetParam());
  ASSERT_EQ(c.Responses.size(), 1u);
  const TScriptedResponse& r = c.Responses.front();
  // One byte at a time, then every split into two pieces, then whole.
  std::vector<std::size_t> pieces = {1};
  for (std::size_t at = 1; at <= r.Bytes.size(); ++at) pieces.push_back(at);
  for (std::size_t piece : pieces) {
    SCOPED_TRACE(c.Name + " in pieces of " + std::to_string(piece));
    TFramed f = FeedToReaders(r.Bytes, piece, r.CloseAfter);
    bool headError = c.Expect.count("error") && c.Expect.find("error")->second == "ENetHTTPBadResponse";
    EXPECT_EQ(!f.Error.empty(), headError) << f.Error;
    bool closedEarly = c.Expect.count("error") && c.Expect.find("error")->second == "ENetConnClosedGracefully";
    if (!headError) {
      EXPECT_EQ(f.CutShort, closedEarly);
    }
    for (auto& [key, value] : c.Expect) {
      if (key == "message" && headError) {
        EXPECT_EQ(f.Error, value);
      }
      if (key == "text") {
        EXPECT_EQ(f.Status, value);
      }
      if (key == "code") {
        EXPECT_EQ(ParseStatusCode(f.Status), std::stoi(value));
      }
      if (key == "body") {
        EXPECT_EQ(f.Body, value);
      }
      if (key == "header") {
        std::vector<std::string> values;
        f.Headers.Extract(value.substr(0, value.find(':')), values);
        EXPECT_NE(std::find(values.begin(), values.end(), value.substr(value.find(':') + 2)), values.end()) << value;
      }
    }
    if (HasFailure()) break;
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = std::filesystem::path(info.param).stem().string();
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ProtocolCase, ::testing::ValuesIn(CaseFiles()), CaseName);

std::vector<std::string> FramingCaseFiles() {
  std::vector<std::string> files;
  for (const std::string& file : CaseFiles())
    if (kFramingCases.count(std::filesystem::path(file).stem().string())) files.push_back(file);
  return files;
}

// A renamed case file must not drop out of the readers' run unnoticed.
TEST(FramingCases, EveryListedCaseExists) { EXPECT_EQ(FramingCaseFiles().size(), kFramingCases.size()); }

INSTANTIATE_TEST_SUITE_P(Cases, FramingCase, ::testing::ValuesIn(FramingCaseFiles()), CaseName);

}  // namespace
