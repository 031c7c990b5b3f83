#include "http/header_block.h"

#include "core/resource_string.h"
#include "http/http_exception.h"
#include "http/http_strings.h"

namespace tarvo::http {

void TNetHeaderBlock::Count(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) throw ENetHTTPBadResponse(core::LoadResString(SNulInResponseHead));
  if (FMaxLines > 0 && FLines >= FMaxLines) throw ENetHTTPBadResponse(core::LoadResString(STooManyHeaderLines));
  if (line.size() > FMaxBytes - FBytes) throw ENetHTTPBadResponse(core::LoadResString(SHeaderTooLong));
  ++FLines;
  FBytes += line.size();
}

bool TNetHeaderBlock::Take(std::string line, TNetHeaderList& into) {
  if (line.empty()) return false;
  Count(line);
  into.Add(std::move(line));
  return true;
}

}  // namespace tarvo::http
