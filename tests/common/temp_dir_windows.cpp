#include <windows.h>

#include <atomic>
#include <random>

#include "temp_dir.h"

namespace tarvo::testing {

namespace fs = std::filesystem;

namespace {

// Where a folder of the place goes ("" for none): Shared below the Linux side's folder,
// named with "/" (Wine's drive Z: shows it under the same name).
fs::path PlaceRoot(TTempPlace place) {
  if (place == TTempPlace::Shared) {
#ifdef TARVO_LINUX_SIDE_DIR
    const std::string root = std::string(TARVO_LINUX_SIDE_DIR) + "/tmp";
    return fs::path(std::u8string(root.begin(), root.end()));
#else
    return {};
#endif
  }
  std::error_code ec;
  fs::path root = fs::temp_directory_path(ec);
  return ec ? fs::path() : root;
}

}  // namespace

TTempDir::TTempDir(TTempPlace place) : FPlace(place) {
  const fs::path root = PlaceRoot(place);
  if (root.empty()) return;
  // Wine hands out the same few process numbers run after run: a random number and the
  // start time tell runs apart.
  static const std::string run = std::to_string(std::random_device()()) + "-" +
                                 std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64());
  static std::atomic<int> counter{0};
  std::error_code ec;
  fs::create_directories(root, ec);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = "tarvo-test-" + run + "-" + std::to_string(counter++);
    // Joined with "/": a Shared folder's name must read the same on the Linux side.
    const fs::path path = place == TTempPlace::Shared ? fs::path(root.u8string() + u8"/" + fs::path(name).u8string())
                                                      : root / name;
    if (fs::create_directory(path, ec)) {
      Made(path);
      return;
    }
  }
}

std::string TTempDir::operator/(const std::string& name) const {
  if (FPlace == TTempPlace::Shared) return FText + "/" + name;
  std::string path = FText + "\\" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

}  // namespace tarvo::testing
