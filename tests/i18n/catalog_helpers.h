// Catalogs for the tests: .po texts compiled by the real msgfmt, and a private folder per
// test that plays the executable's folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../common/read_file.h"
#include "../common/temp_dir.h"


namespace testcatalogs {

namespace fs = std::filesystem;

#ifdef _WIN32
// The Linux side (catalog_helpers_windows.cpp, apart from here: the Windows headers'
// macros would rewrite names such as MB_OK): whether it runs, and a Linux program run to
// its end there, answering the exit status.
bool LinuxSideAvailable();
int RunOnLinuxSide(const std::vector<std::string>& argv);
#endif

inline std::string PoHeader(const std::string& charset = "UTF-8", const std::string& plural = "nplurals=2; plural=(n > 1);") {
  return "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=" + charset + "\\n\"\n\"Plural-Forms: " +
         plural + "\\n\"\n\n";
}

// A .po string literal body with the escapes msgfmt understands.
inline std::string PoQuote(const std::string& s) {
  std::string r = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') r += '\\', r += c;
    else if (c == '\n') r += "\\n";
    else if (c == '\r') r += "\\r";
    else r += c;
  }
  return r + "\"";
}

inline std::string PoEntries(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string po;
  for (auto& [id, str] : entries) po += "msgid " + PoQuote(id) + "\nmsgstr " + PoQuote(str) + "\n\n";
  return po;
}

inline void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

using tarvo::testing::ReadFile;

// Compiles po text into moPath with msgfmt; bigEndian asks for the other byte order.
inline void Msgfmt(const std::string& po, const fs::path& moPath, bool bigEndian = false) {
  fs::create_directories(moPath.parent_path());
  const fs::path poPath = moPath.string() + ".po";
  WriteFile(poPath, po);
  const std::string endianness = bigEndian ? "--endianness=big" : "--endianness=little";
#ifdef _WIN32
  // msgfmt is a Linux program: the Linux side runs it on the folder both sides see.
  ASSERT_TRUE(LinuxSideAvailable()) << "no Linux side: run the tests through ctest";
  ASSERT_EQ(RunOnLinuxSide({TARVO_MSGFMT_PATH, endianness, "-o", moPath.generic_string(), poPath.generic_string()}), 0)
      << moPath;
#else
  std::string cmd = std::string(TARVO_MSGFMT_PATH) + " " + endianness + " -o '" + moPath.string() + "' '" +
                    poPath.string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
#endif
}

// Sets (or with nullptr removes) an environment variable of this process, where the
// system's own calls read it too.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  // The C library passes the change on to the process environment.
  ::_putenv_s(name, value != nullptr ? value : "");
#else
  if (value != nullptr) ::setenv(name, value, 1);
  else ::unsetenv(name);
#endif
}

// A fresh folder that stands for the executable's folder; removed at the end. A Shared one:
// on Windows the Linux side's msgfmt writes the catalogs into it.
class TempFolder {
public:
  std::string Exe() const { return (path / "setup").string(); }
  fs::path Catalog(const std::string& lang) const { return path / "locale" / lang / "LC_MESSAGES" / "default.mo"; }
  tarvo::testing::TTempDir dir{tarvo::testing::TTempPlace::Shared};
  const fs::path& path = dir.Path();
};

}  // namespace testcatalogs
