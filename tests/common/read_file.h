// Reading a file whole, the one way every suite does it: its bytes as they are (no newline
// translation on Windows), or nothing when it cannot be read. Paths that hold UTF-8 names
// are passed as std::filesystem::path (a plain string is read in the system's code page
// on Windows).
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tarvo::testing {

// (A folder reads as nothing too: the stream insertion keeps the read error to itself.)
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace tarvo::testing
