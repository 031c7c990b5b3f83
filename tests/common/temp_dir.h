// The one temporary folder of the test suites: a fresh folder, removed with its content when
// the object goes (write permission is given back first, so read-only files do not stay
// behind).
//
// Two places. Native lies below the system's temporary folder. Shared is a folder that the
// Linux programs a test starts as peers (nginx, tinyproxy, python3) see under the same name.
// On Linux the two are one. Under Wine a Shared folder lies below the suite's Linux side
// folder (TARVO_LINUX_SIDE_DIR, see linux_side.h), named with "/" so that both sides read
// the same text; a suite without a Linux side cannot make one (Path() stays empty).
#pragma once

#include <filesystem>
#include <string>

namespace tarvo::testing {

enum class TTempPlace { Native, Shared };

class TTempDir {
public:
  explicit TTempDir(TTempPlace place = TTempPlace::Native);
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // Empty when the folder could not be made.
  const std::filesystem::path& Path() const noexcept { return FPath; }
  // The folder as UTF-8 text, the form the peers' configurations and command lines take.
  const std::string& Text() const noexcept { return FText; }
  // The path of name (UTF-8) in the folder, as the libraries under test take it (Native
  // folders on Windows: with "\" throughout).
  std::string operator/(const std::string& name) const;
  // Writes content to the file at relative (UTF-8), making the folders on the way.
  void WriteFile(const std::string& relative, const std::string& content) const;

private:
  void Made(const std::filesystem::path& path);  // temp_dir.cpp
  std::filesystem::path FPath;
  std::string FText;
  TTempPlace FPlace;
};

}  // namespace tarvo::testing
