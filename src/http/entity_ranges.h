// Byte ranges of a Range request header ("bytes=0-99,200-,-50").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo::http {

struct TNetEntityRange {
  std::int64_t StartPos = -1;
  std::int64_t EndPos = -1;
  std::int64_t SuffixLength = -1;
  // "start-end", "start-" or "-suffix"; empty when nothing is set.
  std::string Text() const;
};

class TNetEntityRanges {
public:
  TNetEntityRange& Add() { return FItems.emplace_back(); }
  std::size_t Count() const { return FItems.size(); }
  TNetEntityRange& operator[](std::size_t i) { return FItems[i]; }
  void Clear() { FItems.clear(); FUnits = "bytes"; }
  const std::string& Units() const { return FUnits; }
  void SetUnits(std::string units) { FUnits = std::move(units); }
  // The Range header value, or empty when no range renders.
  std::string Text() const;

private:
  std::vector<TNetEntityRange> FItems;
  std::string FUnits = "bytes";
};

}  // namespace tarvo::http
