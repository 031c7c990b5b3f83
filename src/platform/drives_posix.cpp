#include "platform/drives.h"

#include <filesystem>
#include <system_error>

namespace tarvo::platform {

bool IsRemovableDrive(const std::string&) noexcept { return false; }

std::string ProgramFolder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

}  // namespace tarvo::platform
