// Header lists and header infos: parsing response heads, reading values and parameters,
// writing and folding request headers, dates, chunk sizes, META scanning, body text and
// the text shown to a person.
#include <cstdint>
#include <string>
#include <vector>

#include "http/chunked.h"
#include "http/header_info.h"
#include "http/header_list.h"
#include "http/http_client.h"
#include "http/internet_date.h"
#include "http/response_text.h"

using namespace tarvo::http;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TNetResponseHeaderInfo response;
  response.RawHeaders().SetText(text);
  response.ParseHeaderFields();
  const TNetHeaderList& raw = response.RawHeaders();
  std::vector<std::string> values, std;
  for (std::size_t i = 0; i < raw.Count() && i < 64; ++i) {
    std::string name = raw.Names(i);
    (void)raw.Values(name);
    raw.Extract(name, values);
    (void)raw.Params(name, "charset");
    (void)ParseChunkSizeLine(raw[i]);
    TNetDateTime t;
    if (InternetStrToDateTime(raw[i], t)) (void)DateTimeToInternetStr(t);
  }
  raw.ConvertToStdValues(std);

  TNetHeaderList folded(TNetHeaderQuotingType::QuoteMIME);
  folded.SetFoldLength(static_cast<int>(size % 90) + 1);
  for (std::size_t i = 0; i < raw.Count() && i < 64; ++i) {
    std::string name = raw.Names(i);
    if (name.empty()) continue;
    folded.SetValue(name, raw.ValueAt(i));
    folded.SetParams(name, "p", raw[i]);
    folded.AddValue(name, raw[i]);
  }
  TNetHeaderList copy;
  copy.AddStdValues(std);

  TNetRequestHeaderInfo request;
  request.SetContentType(response.ContentType());
  request.SetCharSet(text.substr(0, 40));
  request.SetUserAgent(text);
  request.SetLastModified(response.LastModified());
  request.SetDate(response.Date());
  request.CustomHeaders().SetText(text);
  request.SetHeaders();

  TNetHTTP http;
  http.Response().SetResponseText(text.substr(0, text.find('\n')));
  (void)http.Response().ResponseCode();
  http.Response().RawHeaders().SetText(text);
  http.Response().ProcessMetaHTTPEquiv(text);
  (void)DecodeResponseText(text, response);

  // What is shown to a person holds no control character and stays within its length.
  std::string shown = DisplayText(text, size % 64, (size & 1) != 0);
  for (unsigned char c : shown)
    if ((c < 0x20 && c != '\r' && c != '\n') || c == 0x7F) __builtin_trap();
  if ((size & 1) == 0 && shown.size() > (size % 64) * 4 + 3) __builtin_trap();
  return 0;
}
