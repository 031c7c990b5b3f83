// tarvo-embed-catalogs PROGRAM LOCALE_FOLDER: appends the compiled catalogs under
// LOCALE_FOLDER (<code>/LC_MESSAGES/<domain>.mo) to PROGRAM, in the block the translation
// service looks for in its executable, so that the program works without files beside it.
// Run once per build on the freshly linked (and already stripped: strip drops whatever lies
// after the last section) program, before it is signed: a signature covers the catalogs only
// when they are there first, and its certificate table must stay the file's last part.
#include <algorithm>
#include <cstdint>
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

namespace {

std::uint32_t Get32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Where a PE image keeps its optional header, or 0 when the file is none (a native program).
std::size_t OptionalHeader(const std::string& b) {
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return 0;
  const std::size_t pe = Get32(b, 0x3C);
  if (pe > b.size() || b.size() - pe < 24 + 96 || b.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
  return pe + 24;
}

// The certificate table's data directory entry (security directory), 0 when the header has none.
std::size_t SecurityDirectory(const std::string& b, std::size_t opt) {
  const unsigned magic = static_cast<unsigned char>(b[opt]) | static_cast<unsigned char>(b[opt + 1]) << 8;
  const std::size_t dirs = opt + (magic == 0x20B ? 112 : 96);  // PE32+ : PE32
  const std::size_t count = dirs - 4 <= b.size() - 4 ? Get32(b, dirs - 4) : 0;
  if (count <= 4 || dirs + 5 * 8 > b.size()) return 0;
  return dirs + 4 * 8;
}

// The optional header's CheckSum, which the loader checks for drivers and signed images: it
// was computed by the linker over the file without the catalogs.
void FixChecksum(std::string& b, std::size_t opt) {
  const std::size_t field = opt + 64;
  Put32(b, field, 0);
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < b.size(); i += 2) {
    sum += static_cast<unsigned char>(b[i]) |
           (i + 1 < b.size() ? static_cast<unsigned>(static_cast<unsigned char>(b[i + 1])) << 8 : 0u);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  Put32(b, field, static_cast<std::uint32_t>(sum + b.size()));
}

}  // namespace

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
  std::string image;
  {
    std::ifstream in(program, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in) {
      std::cerr << "tarvo-embed-catalogs: cannot read " << program << "\n";
      return 1;
    }
    image = content.str();
  }
  const std::size_t opt = OptionalHeader(image);
  if (opt != 0) {
    const std::size_t security = SecurityDirectory(image, opt);
    if (security != 0 && Get32(image, security + 4) != 0) {
      // Bytes after the certificate table void the signature; the signature has to be redone.
      std::cerr << "tarvo-embed-catalogs: " << program << " is already signed; append the catalogs before signing\n";
      return 1;
    }
  }
  image += tarvo::i18n::BuildEmbeddedBlock(files);
  if (opt != 0) FixChecksum(image, opt);
  // Written beside it and renamed over it: a full disk must not leave half a program behind.
  const fs::path temporary = program.string() + ".embed-tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, ec);
      std::cerr << "tarvo-embed-catalogs: cannot write " << temporary << "\n";
      return 1;
    }
  }
  fs::permissions(temporary, fs::status(program).permissions(), ec);
  fs::rename(temporary, program, ec);
  if (ec) {
    fs::remove(temporary, ec);
    std::cerr << "tarvo-embed-catalogs: cannot replace " << program << "\n";
    return 1;
  }
  return 0;
}
