#include "core/resource_string.h"

#include <atomic>

namespace tarvo::core {

namespace {
std::atomic<TResStringLoader> gLoader{nullptr};
}

std::string DefaultResStringLoader(const TResourceString& rs) { return rs.Text ? std::string(rs.Text) : std::string(); }

std::string LoadResString(const TResourceString& rs) {
  TResStringLoader loader = gLoader.load(std::memory_order_acquire);
  return loader ? loader(rs) : DefaultResStringLoader(rs);
}

TResStringLoader SetResStringLoader(TResStringLoader loader) noexcept {
  TResStringLoader previous = gLoader.exchange(loader, std::memory_order_acq_rel);
  return previous ? previous : &DefaultResStringLoader;
}

}  // namespace tarvo::core
