// Scanning the head of an HTML document for <meta http-equiv=... content=...> and
// <meta charset=...>. Only tags are looked at; comments are skipped whole; scanning stops
// at the title or body when no head came first. Malformed markup never fails: an
// unterminated tag, quote or comment ends the scan.
#include <vector>

#include "http/http_protocol.h"

namespace tarvo::http {

namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == ':' || c == '.';
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

struct TAttribute {
  std::string Name;
  std::string Value;
};

class TScanner {
public:
  explicit TScanner(std::string_view text) : FText(text) {}

  // Attributes from pos up to the end of the tag; pos ends after the ">".
  std::vector<TAttribute> Attributes(std::size_t& pos) {
    std::vector<TAttribute> out;
    const std::size_t n = FText.size();
    while (pos < n) {
      while (pos < n && IsBlank(FText[pos])) ++pos;
      if (pos >= n) break;
      if (FText[pos] == '>') {
        ++pos;
        break;
      }
      std::size_t start = pos;
      while (pos < n && !IsBlank(FText[pos]) && FText[pos] != '=' && FText[pos] != '>') ++pos;
      TAttribute attr{std::string(FText.substr(start, pos - start)), {}};
      if (pos == start) ++pos;  // a stray character: step over it
      while (pos < n && IsBlank(FText[pos])) ++pos;
      if (pos < n && FText[pos] == '=') {
        ++pos;
        while (pos < n && IsBlank(FText[pos])) ++pos;
        if (pos < n && (FText[pos] == '"' || FText[pos] == '\'')) {
          char quote = FText[pos++];
          std::size_t end = FText.find(quote, pos);
          if (end == std::string_view::npos) end = n;
          attr.Value = std::string(FText.substr(pos, end - pos));
          pos = end == n ? n : end + 1;
        } else {
          std::size_t vstart = pos;
          while (pos < n && !IsBlank(FText[pos]) && FText[pos] != '>') ++pos;
          attr.Value = std::string(FText.substr(vstart, pos - vstart));
        }
      }
      if (!attr.Name.empty()) out.push_back(std::move(attr));
    }
    return out;
  }

  // Position after the closing tag "</name ...>", or the end.
  std::size_t SkipElement(std::size_t pos, std::string_view name) {
    for (std::size_t at = FText.find("</", pos); at != std::string_view::npos; at = FText.find("</", at + 2)) {
      if (SameText(FText.substr(at + 2, name.size()), name)) {
        std::size_t end = FText.find('>', at);
        return end == std::string_view::npos ? FText.size() : end + 1;
      }
    }
    return FText.size();
  }

  std::string_view FText;
};

}  // namespace

namespace {

// The header line a META element declares: "<http-equiv>: <content>", or a Content-Type for
// a charset declaration; empty for any other META.
std::string MetaHeaderLine(const std::vector<TAttribute>& attributes) {
  if (attributes.empty()) return {};
  const TAttribute& first = attributes.front();
  if (first.Value.empty()) return {};
  if (SameText(first.Name, "charset")) return "Content-Type: text/html; charset=\"" + first.Value + "\"";
  if (!SameText(first.Name, "HTTP-EQUIV")) return {};
  std::string content;
  for (std::size_t i = 1; i < attributes.size(); ++i)
    if (SameText(attributes[i].Name, "CONTENT")) content = attributes[i].Value;
  return first.Value + ": " + content;
}

}  // namespace

void TNetHTTPResponse::ProcessMetaHTTPEquiv(std::string_view html) {
  TNetHeaderList& found = FMetaHTTPEquiv.RawHeaders();
  found.Clear();
  TScanner scan(html);
  enum { sBefore, sDocument, sHead, sDone } state = sBefore;
  std::size_t pos = 0;
  const std::size_t n = html.size();
  while (state != sDone && pos < n) {
    std::size_t lt = html.find('<', pos);
    if (lt == std::string_view::npos) break;
    if (html.substr(lt, 4) == "<!--") {
      std::size_t end = html.find("-->", lt + 4);
      pos = end == std::string_view::npos ? n : end + 3;
      continue;
    }
    std::size_t p = lt + 1;
    while (p < n && IsBlank(html[p])) ++p;
    std::size_t nameStart = p;
    while (p < n && IsNameChar(html[p])) ++p;
    std::string name(html.substr(nameStart, p - nameStart));
    if (name.empty()) {
      pos = lt + 1;
      continue;
    }
    std::vector<TAttribute> attributes = scan.Attributes(p);
    pos = p;
    if (state == sBefore) {
      if (SameText(name, "HTML")) state = sDocument;
    } else if (state == sDocument) {
      if (SameText(name, "HEAD"))
        state = sHead;
      else if (SameText(name, "TITLE") || SameText(name, "BODY"))
        state = sDone;
    } else if (SameText(name, "TITLE") || SameText(name, "SCRIPT")) {
      pos = scan.SkipElement(pos, name);
    } else if (SameText(name, "BODY")) {
      state = sDone;
    } else if (SameText(name, "META")) {
      std::string line = MetaHeaderLine(attributes);
      if (!line.empty()) found.Add(std::move(line));
    }
  }
  if (found.Count() == 0) return;
  FMetaHTTPEquiv.ParseHeaderFields();
  for (std::size_t i = 0; i < found.Count(); ++i) {
    std::string lineName = found.Names(i);
    if (!lineName.empty()) FRawHeaders.SetValue(Trim(lineName), found.ValueAt(i));
  }
  ParseHeaderFields();
}

}  // namespace tarvo::http
