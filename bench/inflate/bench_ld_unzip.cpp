// The work of `vmunzip test` and `vmunzip extract` done with libdeflate and its CRC-32, as a
// whole process to time side by side with vmunzip on the same archive (many small entries
// is where per-entry set-up shows):
//   bench_ld_unzip test ARCHIVE
//   bench_ld_unzip extract DIR ARCHIVE
// The archive is read into memory with one read; each deflated or stored entry is decoded
// into a buffer, its CRC-32 checked and, for extract, written to DIR/name (folders made as
// needed; each file written new and renamed into place). No ZIP64, no encryption: enough for the archives bench/inflate/make_corpus.sh makes.
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t Get32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool ReadAll(const char* path, std::vector<std::uint8_t>& data) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) return close(fd), false;
  data.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = read(fd, data.data() + got, data.size() - got);
    if (n <= 0) return close(fd), false;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  return true;
}

bool WriteFile(const std::string& dir, const std::string& name, const std::uint8_t* data, std::size_t size) {
  std::string path = dir + "/" + name;
  for (std::size_t slash = dir.size() + 1; (slash = path.find('/', slash)) != std::string::npos; ++slash)
    mkdir(path.substr(0, slash).c_str(), 0755);
  if (!path.empty() && path.back() == '/') return true;
  // A new file renamed over the old one, as vmunzip does: truncating a file in place costs
  // the file system more (and would not be the same work).
  const std::string part = path + ".part";
  const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const bool ok = write(fd, data, size) == static_cast<ssize_t>(size);
  return close(fd) == 0 && ok && rename(part.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool extract = argc == 4 && std::strcmp(argv[1], "extract") == 0;
  if (!extract && !(argc == 3 && std::strcmp(argv[1], "test") == 0)) {
    std::fprintf(stderr, "usage: bench_ld_unzip test ARCHIVE | extract DIR ARCHIVE\n");
    return 2;
  }
  std::vector<std::uint8_t> zip;
  if (!ReadAll(argv[argc - 1], zip) || zip.size() < 22) {
    std::fprintf(stderr, "cannot read %s\n", argv[argc - 1]);
    return 1;
  }
  std::size_t eocd = zip.size() - 22;
  while (eocd > 0 && Get32(&zip[eocd]) != 0x06054B50) --eocd;
  std::size_t pos = Get32(&zip[eocd + 16]);
  const unsigned count = Get16(&zip[eocd + 10]);
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<std::uint8_t> out;
  int bad = 0;
  for (unsigned i = 0; i < count && pos + 46 <= zip.size(); ++i) {
    const std::uint8_t* c = &zip[pos];
    const unsigned method = Get16(c + 10);
    const std::uint32_t crc = Get32(c + 16), csize = Get32(c + 20), usize = Get32(c + 24);
    const std::string name(reinterpret_cast<const char*>(c + 46), Get16(c + 28));
    const std::size_t lho = Get32(c + 42);
    pos += 46 + Get16(c + 28) + Get16(c + 30) + Get16(c + 32);
    if (lho + 30 > zip.size()) return 1;
    const std::size_t data = lho + 30 + Get16(&zip[lho + 26]) + Get16(&zip[lho + 28]);
    if (data + csize > zip.size()) return 1;
    out.resize(usize);
    std::size_t actual = usize;
    if (method == 8) {
      if (libdeflate_deflate_decompress(d, &zip[data], csize, out.data(), out.size(), &actual) != LIBDEFLATE_SUCCESS)
        actual = ~std::size_t{0};
    } else if (method == 0 && csize == usize) {
      std::memcpy(out.data(), &zip[data], usize);
    } else {
      continue;
    }
    if (actual != usize || libdeflate_crc32(0, out.data(), usize) != crc) {
      std::fprintf(stderr, "%s: bad entry\n", name.c_str());
      ++bad;
      continue;
    }
    if (extract && !WriteFile(argv[2], name, out.data(), usize)) ++bad;
  }
  libdeflate_free_decompressor(d);
  return bad ? 1 : 0;
}
