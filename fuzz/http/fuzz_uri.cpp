// URI parsing, rebuilding, encoding and merging. Input: "<uri>\n<second uri>".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/http_client.h"
#include "http/uri.h"

using namespace tarvo::http;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t nl = text.find('\n');
  std::string first = text.substr(0, nl);
  std::string second = nl == std::string::npos ? std::string() : text.substr(nl + 1);

  std::string normalized = first;
  TNetURI::NormalizePath(normalized);
  std::string twice = normalized;
  TNetURI::NormalizePath(twice);
  if (twice != normalized) std::abort();

  TNetURI uri(first);
  try {
    std::string rebuilt = uri.GetFullURI();
    TNetURI again(rebuilt);
    (void)again.URI();
  } catch (const tarvo::core::Exception&) {
  }
  (void)uri.GetPathAndParams();
  (void)MergePaths(uri.Path(), second);
  (void)MergePaths(second, first);
  (void)TNetURI::PathEncode(first);
  (void)TNetURI::ParamsEncode(first, tarvo::net::NetEncodingUTF8());
  (void)TNetURI::URLDecode(first, tarvo::net::NetEncodingUTF8());
  (void)TNetURI::URLDecode(second);
  try {
    (void)TNetURI::URLEncode(first);
  } catch (const tarvo::core::Exception&) {
  }

  TNetHTTP http;
  try {
    http.ResolveRequestTarget(first);
    http.ResolveRequestTarget(second);
    (void)http.URL().URI();
  } catch (const tarvo::core::Exception&) {
  }
  return 0;
}
