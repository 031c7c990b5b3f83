#include "http/entity_ranges.h"

namespace tarvo::http {

std::string TNetEntityRange::Text() const {
  if (StartPos >= 0) return std::to_string(StartPos) + "-" + (EndPos >= 0 ? std::to_string(EndPos) : "");
  if (SuffixLength >= 0) return "-" + std::to_string(SuffixLength);
  return {};
}

std::string TNetEntityRanges::Text() const {
  std::string joined;
  for (const TNetEntityRange& r : FItems) {
    std::string t = r.Text();
    if (t.empty()) continue;
    if (!joined.empty()) joined += ",";
    joined += t;
  }
  return joined.empty() ? joined : FUnits + "=" + joined;
}

}  // namespace tarvo::http
