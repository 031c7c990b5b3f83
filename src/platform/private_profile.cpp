#include "platform/private_profile.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "core/text_case.h"
#include "core/text_trim.h"

namespace tarvo::platform {

namespace {

// One physical line: its text and the line end it had ("\r\n", "\n", or none for a last
// line without one). Only LF ends a line; a lone CR stays part of the text.
struct TLine {
  std::string_view Text;
  std::string_view End;
};

std::vector<TLine> SplitLines(std::string_view content) {
  std::vector<TLine> lines;
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t lf = content.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.push_back({content.substr(start), {}});
      break;
    }
    std::size_t textEnd = lf > start && content[lf - 1] == '\r' ? lf - 1 : lf;
    lines.push_back({content.substr(start, textEnd - start), content.substr(textEnd, lf + 1 - textEnd)});
    start = lf + 1;
  }
  return lines;
}

// The section name of a header line "[name]" (blanks around allowed), or nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view t = core::TrimBlanks(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return core::TrimBlanks(t.substr(1, close - 1));
}

// For a "key=value" line, the position of its '=' when the key matches; else npos.
std::size_t MatchKey(std::string_view line, std::string_view key) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::string_view::npos;
  std::string_view name = core::TrimBlanks(line.substr(0, eq));
  if (!name.empty() && (name.front() == ';' || name.front() == '#')) return std::string_view::npos;
  return core::SameText(name, key) ? eq : std::string_view::npos;
}

// Where a section lies: the index of its header and one past its last non-blank line.
struct TSectionSpan {
  std::size_t Header = 0;
  std::size_t LastContent = 0;
};

std::optional<TSectionSpan> FindSection(const std::vector<TLine>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::optional<std::string_view> name = SectionName(lines[i].Text);
    if (!name || !core::SameText(*name, section)) continue;
    TSectionSpan span{i, i + 1};
    for (std::size_t j = i + 1; j < lines.size() && !SectionName(lines[j].Text); ++j)
      if (!core::TrimBlanks(lines[j].Text).empty()) span.LastContent = j + 1;
    return span;
  }
  return std::nullopt;
}

constexpr std::string_view kNewLine = "\r\n";

void AppendLine(std::string& out, const TLine& line) {
  out.append(line.Text);
  out.append(line.End);
}

}  // namespace

std::string SetProfileString(std::string_view content, std::string_view section, std::string_view key,
                             std::string_view value) {
  std::vector<TLine> lines = SplitLines(content);
  std::string out;
  out.reserve(content.size() + section.size() + key.size() + value.size() + 8);
  std::string newKeyLine = std::string(key) + "=" + std::string(value);

  std::optional<TSectionSpan> span = FindSection(lines, section);
  if (!span) {
    out.assign(content);
    if (!out.empty() && out.back() != '\n') out.append(kNewLine);
    out.append("[").append(section).append("]").append(kNewLine);
    out.append(newKeyLine).append(kNewLine);
    return out;
  }
  for (std::size_t i = span->Header + 1; i < span->LastContent; ++i) {
    std::size_t eq = MatchKey(lines[i].Text, key);
    if (eq == std::string_view::npos) continue;
    for (std::size_t j = 0; j < lines.size(); ++j) {
      if (j != i) {
        AppendLine(out, lines[j]);
        continue;
      }
      out.append(lines[j].Text.substr(0, eq + 1)).append(value).append(lines[j].End);
    }
    return out;
  }
  // Missing key: after the section's last non-blank line.
  for (std::size_t j = 0; j < lines.size(); ++j) {
    AppendLine(out, lines[j]);
    if (j + 1 == span->LastContent) {
      if (lines[j].End.empty()) out.append(kNewLine);
      out.append(newKeyLine).append(kNewLine);
    }
  }
  return out;
}

std::string GetProfileString(std::string_view content, std::string_view section, std::string_view key,
                             std::string_view fallback) {
  std::vector<TLine> lines = SplitLines(content);
  std::optional<TSectionSpan> span = FindSection(lines, section);
  if (span) {
    for (std::size_t i = span->Header + 1; i < span->LastContent; ++i) {
      std::size_t eq = MatchKey(lines[i].Text, key);
      if (eq != std::string_view::npos) return std::string(core::TrimBlanks(lines[i].Text.substr(eq + 1)));
    }
  }
  return std::string(fallback);
}

}  // namespace tarvo::platform
