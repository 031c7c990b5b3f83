#include <stdlib.h>

#include "temp_dir.h"

namespace tarvo::testing {

namespace fs = std::filesystem;

// The peers run on this system, so both places are the system's temporary folder.
TTempDir::TTempDir(TTempPlace place) : FPlace(place) {
  std::string pattern = (fs::temp_directory_path() / "tarvo-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) Made(pattern);
}

std::string TTempDir::operator/(const std::string& name) const { return FText + "/" + name; }

}  // namespace tarvo::testing
