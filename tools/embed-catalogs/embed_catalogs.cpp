// tarvo-embed-catalogs PROGRAM LOCALE_FOLDER: appends the compiled catalogs under
// LOCALE_FOLDER (<code>/LC_MESSAGES/<domain>.mo) to PROGRAM, in the block the translation
// service looks for at the end of its executable, so that the program works without files
// beside it. Run once per build on the freshly linked program.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "i18n/file_locator.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tarvo-embed-catalogs PROGRAM LOCALE_FOLDER\n";
    return 2;
  }
  const fs::path program = argv[1], locale = argv[2];
  std::vector<std::pair<std::string, std::string>> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(locale, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file() || it->path().extension() != ".mo") continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    // Names as the program asks for them: relative to its own folder.
    files.emplace_back("locale/" + fs::relative(it->path(), locale).generic_string(), content.str());
  }
  if (ec || files.empty()) {
    std::cerr << "tarvo-embed-catalogs: no catalogs under " << locale << "\n";
    return 1;
  }
  std::sort(files.begin(), files.end());
  std::ofstream out(program, std::ios::binary | std::ios::app);
  const std::string block = tarvo::i18n::BuildEmbeddedBlock(files);
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  out.close();
  if (!out) {
    std::cerr << "tarvo-embed-catalogs: cannot append to " << program << "\n";
    return 1;
  }
  return 0;
}
