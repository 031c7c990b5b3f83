#include "http/header_list.h"

#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

constexpr int kDefaultFoldLength = 78;

bool IsContinuation(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// Items of a header value separated by ";" outside double quotes.
std::vector<std::string> SplitItems(std::string_view value) {
  std::vector<std::string> items;
  std::string cur;
  bool quoted = false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (quoted && c == '\\' && i + 1 < value.size()) {
      cur += c;
      cur += value[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      items.emplace_back(Trim(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  items.emplace_back(Trim(cur));
  return items;
}

std::string Unquote(std::string_view v) {
  v = Trim(v);
  if (v.empty() || v.front() != '"') return std::string(v);
  std::string out;
  for (std::size_t i = 1; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      out += v[++i];
    } else if (v[i] == '"') {
      break;
    } else {
      out += v[i];
    }
  }
  return out;
}

bool SplitItem(std::string_view item, std::string& name, std::string& value) {
  std::size_t eq = item.find('=');
  if (eq == std::string_view::npos) return false;
  name = std::string(Trim(item.substr(0, eq)));
  value = Unquote(item.substr(eq + 1));
  return true;
}

std::string JoinItems(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    if (item.empty()) continue;
    if (!out.empty()) out += "; ";
    out += item;
  }
  return out;
}

}  // namespace

std::string QuoteHeaderValue(std::string_view value, TNetHeaderQuotingType quoting) {
  std::string_view specials;
  switch (quoting) {
    case TNetHeaderQuotingType::QuotePlain:
      return std::string(value);
    case TNetHeaderQuotingType::QuoteRFC822:
      specials = "()<>@,;:\\\".[]";
      break;
    case TNetHeaderQuotingType::QuoteMIME:
      specials = "()<>@,;:\\\"/[]?=";
      break;
    case TNetHeaderQuotingType::QuoteHTTP:
      specials = "()<>@,;:\\\"/[]?={}";
      break;
  }
  bool needs = false;
  for (unsigned char c : value)
    if (c <= 32 || c == 127 || specials.find(static_cast<char>(c)) != std::string_view::npos) needs = true;
  if (!needs) return std::string(value);
  std::string out = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string ExtractHeaderSubItem(std::string_view value, std::string_view subName, TNetHeaderQuotingType) {
  std::vector<std::string> items = SplitItems(value);
  std::string name, v;
  for (std::size_t i = 1; i < items.size(); ++i)
    if (SplitItem(items[i], name, v) && SameText(name, subName)) return v;
  return {};
}

std::string RemoveHeaderSubItem(std::string_view value, std::string_view subName, std::string& removedValue,
                                TNetHeaderQuotingType) {
  std::vector<std::string> items = SplitItems(value);
  removedValue.clear();
  std::string name, v;
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (SplitItem(items[i], name, v) && SameText(name, subName)) {
      removedValue = v;
      items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  return JoinItems(items);
}

std::string ReplaceHeaderSubItem(std::string_view value, std::string_view subName, std::string_view subValue,
                                 TNetHeaderQuotingType quoting) {
  std::string removed;
  std::vector<std::string> items = SplitItems(value);
  std::string name, v;
  std::string newItem = subValue.empty() ? std::string() : std::string(subName) + "=" + QuoteHeaderValue(subValue, quoting);
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (SplitItem(items[i], name, v) && SameText(name, subName)) {
      items[i] = newItem;
      return JoinItems(items);
    }
  }
  if (!newItem.empty()) items.push_back(newItem);
  return JoinItems(items);
}

TNetHeaderList::TNetHeaderList(TNetHeaderQuotingType quoting)
    : FQuoteType(quoting), FFoldLength(quoting == TNetHeaderQuotingType::QuoteHTTP ? 0 : kDefaultFoldLength) {}

void TNetHeaderList::Insert(std::size_t index, std::string line) {
  if (index > FLines.size()) index = FLines.size();
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void TNetHeaderList::Delete(std::size_t index) {
  if (index < FLines.size()) FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(index));
}

std::string TNetHeaderList::Text() const {
  std::string out;
  for (const std::string& line : FLines) out += line + "\r\n";
  return out;
}

void TNetHeaderList::SetText(std::string_view text) {
  FLines.clear();
  std::string cur;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      FLines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) FLines.push_back(cur);
}

std::string TNetHeaderList::Names(std::size_t i) const {
  const std::string& line = FLines[i];
  std::size_t colon = line.find(':');
  return colon == std::string::npos ? std::string() : line.substr(0, colon);
}

long TNetHeaderList::IndexOfName(std::string_view name) const {
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    const std::string& line = FLines[i];
    std::size_t colon = line.find(':');
    if (colon != std::string::npos && SameText(std::string_view(line).substr(0, colon), name))
      return static_cast<long>(i);
  }
  return -1;
}

std::size_t TNetHeaderList::ContinuationEnd(std::size_t index) const {
  std::size_t end = index + 1;
  while (end < FLines.size() && IsContinuation(FLines[end])) ++end;
  return end;
}

std::string TNetHeaderList::ValueAt(std::size_t i) const {
  const std::string& line = FLines[i];
  std::size_t colon = line.find(':');
  std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
  // Each continuation joins the trimmed value so far with one space; building the text in
  // place keeps a head of many continuation lines linear.
  value = std::string(Trim(value));
  std::size_t end = ContinuationEnd(i);
  for (std::size_t k = i + 1; k < end; ++k) {
    value.resize(core::TrimRight(value).size());
    value += ' ';
    value += Trim(FLines[k]);
  }
  return std::string(Trim(value));
}

std::string TNetHeaderList::Values(std::string_view name) const {
  long i = IndexOfName(name);
  return i < 0 ? std::string() : ValueAt(static_cast<std::size_t>(i));
}

std::vector<std::string> TNetHeaderList::Fold(std::string line) const {
  std::vector<std::string> pieces;
  if (!FFoldLines || FFoldLength <= 0) {
    pieces.push_back(std::move(line));
    return pieces;
  }
  const std::size_t limit = static_cast<std::size_t>(FFoldLength);
  bool continuation = false;
  while (line.size() > limit) {
    std::size_t best = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size() && i < limit; ++i) {
      char c = line[i];
      if (c == '"') quoted = !quoted;
      if (!quoted && (c == ' ' || c == '\t' || c == ',') && i + 1 > (continuation ? 1u : 0u)) best = i + 1;
    }
    std::string head(core::TrimRightBlanks(std::string_view(line).substr(0, best)));
    if (best == 0 || Trim(head).empty()) break;
    std::string_view tail = Trim(std::string_view(line).substr(best));
    if (tail.empty()) break;
    pieces.push_back(head);
    line = " " + std::string(tail);
    continuation = true;
  }
  line.resize(core::TrimRightBlanks(line).size());
  pieces.push_back(std::move(line));
  return pieces;
}

void TNetHeaderList::SetValue(std::string_view name, std::string_view value) {
  long index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) {
      std::size_t end = ContinuationEnd(static_cast<std::size_t>(index));
      FLines.erase(FLines.begin() + index, FLines.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return;
  }
  std::vector<std::string> pieces = Fold(std::string(name) + ": " + std::string(value));
  if (index < 0) {
    FLines.insert(FLines.end(), pieces.begin(), pieces.end());
    return;
  }
  std::size_t end = ContinuationEnd(static_cast<std::size_t>(index));
  FLines.erase(FLines.begin() + index, FLines.begin() + static_cast<std::ptrdiff_t>(end));
  FLines.insert(FLines.begin() + index, pieces.begin(), pieces.end());
}

void TNetHeaderList::AddValue(std::string_view name, std::string_view value) {
  if (name.empty() || value.empty()) return;
  std::vector<std::string> pieces = Fold(std::string(name) + ": " + std::string(value));
  FLines.insert(FLines.end(), pieces.begin(), pieces.end());
}

void TNetHeaderList::Extract(std::string_view name, std::vector<std::string>& dest) const {
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    if (IsContinuation(FLines[i])) continue;
    std::size_t colon = FLines[i].find(':');
    if (colon != std::string::npos && SameText(std::string_view(FLines[i]).substr(0, colon), name))
      dest.push_back(ValueAt(i));
  }
}

std::string TNetHeaderList::Params(std::string_view name, std::string_view param) const {
  return ExtractHeaderSubItem(Values(name), param, FQuoteType);
}

void TNetHeaderList::SetParams(std::string_view name, std::string_view param, std::string_view value) {
  SetValue(name, ReplaceHeaderSubItem(Values(name), param, value, FQuoteType));
}

void TNetHeaderList::ConvertToStdValues(std::vector<std::string>& dest) const {
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    if (IsContinuation(FLines[i])) continue;
    std::size_t colon = FLines[i].find(':');
    if (colon == std::string::npos) continue;
    dest.push_back(FLines[i].substr(0, colon) + "=" + ValueAt(i));
  }
}

void TNetHeaderList::AddStdValues(const std::vector<std::string>& src) {
  for (const std::string& line : src) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    AddValue(line.substr(0, eq), line.substr(eq + 1));
  }
}

}  // namespace tarvo::http
