#include "unzip/mask_match.h"

#include <algorithm>

#include "core/text_trim.h"
#include "unzip/archive_list.h"
#include "unzip/name_codec.h"

namespace tarvo::unzip {

namespace {

std::u32string CodePoints(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) out += NextCodePoint(text, pos);
  return out;
}

std::string DropDriveOrShare(std::string mask) {
  if (mask.size() >= 2 && mask[1] == ':' &&
      ((mask[0] >= 'A' && mask[0] <= 'Z') || (mask[0] >= 'a' && mask[0] <= 'z')))
    return mask.substr(2);
  if (mask.size() >= 2 && mask[0] == '\\' && mask[1] == '\\') {
    // \\server\share\rest -> \rest
    std::size_t server = mask.find('\\', 2);
    if (server == std::string::npos) return {};
    std::size_t share = mask.find('\\', server + 1);
    return share == std::string::npos ? std::string() : mask.substr(share);
  }
  return mask;
}

}  // namespace

bool MatchPattern(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  std::u32string p = CodePoints(pattern), n = CodePoints(name);
  std::size_t pi = 0, ni = 0;
  std::size_t starP = std::u32string::npos, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == U'*') {
      starP = pi++;
      starN = ni;
    } else if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (starP != std::u32string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

bool MatchFileName(const std::string& mask, const std::string& name) {
  std::string m = UpperCaseName(mask), n = UpperCaseName(name);
  std::size_t ms = m.find_last_of('\\'), ns = n.find_last_of('\\');
  std::string maskFolder = ms == std::string::npos ? std::string() : m.substr(0, ms + 1);
  std::string maskFile = ms == std::string::npos ? m : m.substr(ms + 1);
  std::string nameFolder = ns == std::string::npos ? std::string() : n.substr(0, ns + 1);
  std::string nameFile = ns == std::string::npos ? n : n.substr(ns + 1);
  if (!maskFolder.empty() && !MatchPattern(maskFolder, nameFolder)) return false;
  return MatchPattern(maskFile, nameFile);
}

bool MatchesStoredName(const std::string& mask, const std::string& storedName, bool isDirectory) {
  std::string m = mask;
  std::replace(m.begin(), m.end(), '/', '\\');
  m = DropDriveOrShare(m);
  std::string n = storedName;
  std::replace(n.begin(), n.end(), '/', '\\');
  if (isDirectory && !n.empty() && n.back() == '\\') n.pop_back();
  return MatchFileName(m, n);
}

bool MatchesStoredNameEx(const std::string& maskList, const std::string& storedName, bool isDirectory) {
  // The everyday list, "*.*" alone, matches every name without looking at it.
  if (maskList == "*.*" || maskList == "*") return true;
  std::size_t start = 0;
  while (start <= maskList.size()) {
    std::size_t end = maskList.find(';', start);
    if (end == std::string::npos) end = maskList.size();
    std::string part(core::TrimBlanks(std::string_view(maskList).substr(start, end - start)));
    if (!part.empty() && MatchesStoredName(part, storedName, isDirectory)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace tarvo::unzip
