// Raw inflate throughput of our decoder against zlib and libdeflate on the deflated
// members of ZIP archives. Usage: bench_inflate [-r runs] archive.zip...
// Each archive is loaded into memory; every decoder inflates every member of method 8
// (only ours handles method 9) and the best of the runs is reported as output MB/s.
// Ours always computes the CRC-32 of what it produces (it is part of its contract), so the
// peers are also shown with zlib's crc32() over their output.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "unzip/inflate/inflate.h"

namespace {

struct Member {
  int method;
  const std::uint8_t* data;
  std::size_t csize, usize;
  std::uint32_t crc;
};

std::uint32_t Get32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Central directory walk, enough for the archives the corpus script makes (no ZIP64).
std::vector<Member> ListMembers(const std::vector<std::uint8_t>& zip) {
  std::vector<Member> out;
  if (zip.size() < 22) return out;
  std::size_t eocd = zip.size() - 22;
  while (eocd > 0 && Get32(&zip[eocd]) != 0x06054B50) --eocd;
  std::size_t pos = Get32(&zip[eocd + 16]);
  const unsigned count = Get16(&zip[eocd + 10]);
  for (unsigned i = 0; i < count && pos + 46 <= zip.size(); ++i) {
    const std::uint8_t* c = &zip[pos];
    Member m{Get16(c + 10), nullptr, Get32(c + 20), Get32(c + 24), Get32(c + 16)};
    const std::size_t lho = Get32(c + 42);
    pos += 46 + Get16(c + 28) + Get16(c + 30) + Get16(c + 32);
    if ((m.method != 8 && m.method != 9) || lho + 30 > zip.size()) continue;
    const std::size_t data = lho + 30 + Get16(&zip[lho + 26]) + Get16(&zip[lho + 28]);
    if (data + m.csize > zip.size()) continue;
    m.data = &zip[data];
    out.push_back(m);
  }
  return out;
}

// Read-only stream over a memory block (no copy).
class TViewStream final : public tarvo::core::TStream {
public:
  TViewStream(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FSize - FPos);
    std::memcpy(buffer, FData + FPos, n);
    FPos += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::size_t Lend(const std::uint8_t*& data) override {
    data = FData + FPos;
    return FSize - FPos;
  }
  std::int64_t Seek(std::int64_t offset, tarvo::core::TSeekOrigin origin) override {
    std::int64_t base = origin == tarvo::core::TSeekOrigin::soBeginning ? 0
                        : origin == tarvo::core::TSeekOrigin::soCurrent ? std::int64_t(FPos)
                                                                        : std::int64_t(FSize);
    FPos = static_cast<std::size_t>(std::clamp<std::int64_t>(base + offset, 0, std::int64_t(FSize)));
    return std::int64_t(FPos);
  }

private:
  const std::uint8_t* FData;
  std::size_t FSize, FPos = 0;
};

// Discards output but touches nothing: the cheapest possible destination.
class TSinkStream final : public tarvo::core::TStream {
public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void*, std::size_t count) override { return count; }
  std::int64_t Seek(std::int64_t, tarvo::core::TSeekOrigin) override { return 0; }
};

// CPU time of this thread: on a shared machine it is far steadier than wall time.
double Now() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <class F>
double Best(int runs, F&& f) {
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    const double t0 = Now();
    if (!f()) return -1;
    best = std::min(best, Now() - t0);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  // -o / -z / -L: run only ours / zlib / libdeflate (for profiling one decoder alone); -C:
  // only libdeflate with its CRC, the peer of -o when two whole processes are timed.
  char only = 0;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "-r" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else if (argv[i][0] == '-' && argv[i][1] && !argv[i][2])
      only = argv[i][1];
    else
      files.push_back(argv[i]);
  }
  std::printf("%-12s %9s %9s | %9s %9s %9s %9s %9s | %7s %7s %7s %7s\n", "archive", "in MB", "out MB", "ours",
              "zlib", "zlib+crc", "libdefl", "ldefl+crc", "x zlib", "x z+crc", "x ldefl", "x ld+crc");
  for (const auto& file : files) {
    std::ifstream f(file, std::ios::binary | std::ios::ate);
    if (!f) {
      std::fprintf(stderr, "cannot open %s\n", file.c_str());
      return 1;
    }
    std::vector<std::uint8_t> zip(static_cast<std::size_t>(f.tellg()));
    f.seekg(0);
    f.read(reinterpret_cast<char*>(zip.data()), static_cast<std::streamsize>(zip.size()));
    const auto members = ListMembers(zip);
    std::size_t insize = 0, outsize = 0, maxsize = 0;
    bool deflate64 = false;
    for (const auto& m : members) {
      insize += m.csize;
      outsize += m.usize;
      maxsize = std::max(maxsize, m.usize);
      deflate64 |= m.method == 9;
    }
    std::vector<std::uint8_t> outbuf(maxsize + 1);

    const double ours = only && only != 'o' ? -1 : Best(runs, [&] {
      for (const auto& m : members) {
        TViewStream src(m.data, m.csize);
        TSinkStream dst;
        tarvo::unzip::TVmDeflateHelper h;
        if (m.method == 9) h.FOptions |= tarvo::unzip::dfc_Deflate64;
        if (tarvo::unzip::Inflate(src, dst, &h) != m.crc || std::size_t(h.FSizeNormal) != m.usize) {
          std::fprintf(stderr, "ours: wrong result for a member of %s\n", file.c_str());
          return false;
        }
      }
      return true;
    });
    auto zlibRun = [&](bool crc) {
      return Best(runs, [&] {
        z_stream zs{};
        inflateInit2(&zs, -15);
        for (const auto& m : members) {
          inflateReset(&zs);
          zs.next_in = const_cast<Bytef*>(m.data);
          zs.avail_in = static_cast<uInt>(m.csize);
          uLong c = crc32(0, nullptr, 0);
          int rc;
          do {  // 256 KiB at a time, as a streaming extractor would
            zs.next_out = outbuf.data();
            zs.avail_out = static_cast<uInt>(std::min<std::size_t>(outbuf.size(), 262144));
            rc = inflate(&zs, Z_NO_FLUSH);
            if (crc) c = crc32(c, outbuf.data(), static_cast<uInt>(zs.next_out - outbuf.data()));
          } while (rc == Z_OK);
          if (rc != Z_STREAM_END || (crc && c != m.crc)) return false;
        }
        inflateEnd(&zs);
        return true;
      });
    };
    auto ldRun = [&](bool crc) {
      return Best(runs, [&] {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        for (const auto& m : members) {
          std::size_t actual = 0;
          if (libdeflate_deflate_decompress(d, m.data, m.csize, outbuf.data(), outbuf.size(), &actual) !=
              LIBDEFLATE_SUCCESS)
            return false;
          if (crc && libdeflate_crc32(0, outbuf.data(), actual) != m.crc) return false;
        }
        libdeflate_free_decompressor(d);
        return true;
      });
    };
    double zl = -1, zlc = -1, ld = -1, ldc = -1;
    if (!deflate64 && (!only || only == 'z')) {
      zl = zlibRun(false);
      zlc = zlibRun(true);
    }
    if (!deflate64 && (!only || only == 'L')) ld = ldRun(false);
    if (!deflate64 && (!only || only == 'L' || only == 'C')) ldc = ldRun(true);
    auto mbs = [&](double t) { return t > 0 ? outsize / t / 1e6 : 0.0; };
    auto ratio = [&](double t) { return t > 0 && ours > 0 ? t / ours : 0.0; };
    std::string name = file.substr(file.find_last_of('/') + 1);
    std::printf("%-12s %9.1f %9.1f | %9.1f %9.1f %9.1f %9.1f %9.1f | %7.2f %7.2f %7.2f %7.2f\n", name.c_str(),
                insize / 1e6, outsize / 1e6, mbs(ours), mbs(zl), mbs(zlc), mbs(ld), mbs(ldc), ratio(zl), ratio(zlc),
                ratio(ld), ratio(ldc));
  }
  std::printf("(MB/s of output per CPU second of the decoding thread, best of %d runs; ours includes its CRC-32;\n"
              " x = ours / peer)\n", runs);
  return 0;
}
