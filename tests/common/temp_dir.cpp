#include "temp_dir.h"

#include <fstream>

namespace tarvo::testing {

namespace fs = std::filesystem;

namespace {

fs::path Utf8Path(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

}  // namespace

void TTempDir::Made(const fs::path& path) {
  FPath = path;
  const std::u8string text = path.u8string();
  FText.assign(text.begin(), text.end());
}

TTempDir::~TTempDir() {
  if (FPath.empty()) return;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(FPath, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_symlink(ec)) continue;
    std::error_code ignored;
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(FPath, ec);
}

void TTempDir::WriteFile(const std::string& relative, const std::string& content) const {
  const fs::path p = FPath / Utf8Path(relative);
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  std::ofstream(p, std::ios::binary) << content;
}

}  // namespace tarvo::testing
