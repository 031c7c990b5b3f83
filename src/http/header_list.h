// TNetHeaderList: the ordered list of header lines of a request or response. One entry per
// physical line (no terminators); a line starting with a space or tab continues the line
// above it. Names are looked up without regard to case; values are unfolded when read and
// folded when written. Response headers are kept exactly as received.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::http {

enum class TNetHeaderQuotingType { QuotePlain, QuoteRFC822, QuoteMIME, QuoteHTTP };

class TNetHeaderList {
public:
  // A fold length of 0 or less means lines are never folded.
  explicit TNetHeaderList(TNetHeaderQuotingType quoting = TNetHeaderQuotingType::QuoteHTTP);

  std::size_t Count() const { return FLines.size(); }
  const std::string& operator[](std::size_t i) const { return FLines[i]; }
  const std::vector<std::string>& Lines() const { return FLines; }
  void Add(std::string line) { FLines.push_back(std::move(line)); }
  void Insert(std::size_t index, std::string line);
  void Delete(std::size_t index);
  void Clear() { FLines.clear(); }
  // Clear, overwriting every line's bytes first (lines that held a secret).
  void Wipe() {
    for (std::string& line : FLines) {
      line.resize(line.capacity());
      for (volatile char* p = line.data(); p != line.data() + line.size();) *p++ = 0;
    }
    FLines.clear();
  }
  // All lines, each followed by CR LF.
  std::string Text() const;
  // Replaces the content with the lines of a text (CR LF, LF or CR separated).
  void SetText(std::string_view text);

  int FoldLength() const { return FFoldLength; }
  void SetFoldLength(int length) { FFoldLength = length; }
  bool FoldLines() const { return FFoldLines; }
  void SetFoldLines(bool fold) { FFoldLines = fold; }
  TNetHeaderQuotingType QuoteType() const { return FQuoteType; }

  // Text of line i before its first ":" (not trimmed); empty for a line without ":".
  std::string Names(std::size_t i) const;
  // Index of the first line with this name (case-insensitive), or -1.
  long IndexOfName(std::string_view name) const;
  // Unfolded value of the first line with this name, or empty.
  std::string Values(std::string_view name) const;
  // Replaces the first line of the name (and its continuations) in place, appends when
  // absent, deletes when the value is empty.
  void SetValue(std::string_view name, std::string_view value);
  // Always appends, when both name and value are non-empty.
  void AddValue(std::string_view name, std::string_view value);
  // Appends the unfolded value of every line with this name, in order.
  void Extract(std::string_view name, std::vector<std::string>& dest) const;
  // A "param=value" item inside a header value, e.g. the charset of Content-Type.
  std::string Params(std::string_view name, std::string_view param) const;
  void SetParams(std::string_view name, std::string_view param, std::string_view value);
  // "name=value" per header, unfolded; AddStdValues does the reverse through AddValue.
  void ConvertToStdValues(std::vector<std::string>& dest) const;
  void AddStdValues(const std::vector<std::string>& src);

  // The unfolded value of the header line at index i.
  std::string ValueAt(std::size_t i) const;

private:
  std::size_t ContinuationEnd(std::size_t index) const;
  std::vector<std::string> Fold(std::string line) const;

  std::vector<std::string> FLines;
  TNetHeaderQuotingType FQuoteType;
  int FFoldLength;
  bool FFoldLines = true;
};

// Helpers on header values of the form "main; name=value; name2="quoted value"".
// The item's value (unquoted), or empty when absent.
std::string ExtractHeaderSubItem(std::string_view value, std::string_view subName,
                                 TNetHeaderQuotingType quoting = TNetHeaderQuotingType::QuoteHTTP);
// The value with the item replaced, appended, or (empty subValue) removed.
std::string ReplaceHeaderSubItem(std::string_view value, std::string_view subName,
                                 std::string_view subValue,
                                 TNetHeaderQuotingType quoting = TNetHeaderQuotingType::QuoteHTTP);
// The value with the item removed; the removed item's value goes to removedValue.
std::string RemoveHeaderSubItem(std::string_view value, std::string_view subName, std::string& removedValue,
                                TNetHeaderQuotingType quoting = TNetHeaderQuotingType::QuoteHTTP);
// A parameter value quoted when it holds characters the quoting type reserves.
std::string QuoteHeaderValue(std::string_view value, TNetHeaderQuotingType quoting);

}  // namespace tarvo::http
