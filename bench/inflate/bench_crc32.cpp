// CRC-32 throughput of ours against zlib's crc32() and libdeflate_crc32() (public APIs
// only) at the block sizes the decoder and the archive reader hand it. Usage:
// bench_crc32 [-r runs] [size...]. Each size is run over about 128 MB of calls on a buffer
// already in cache; the best of the runs is reported in GB/s (10^9 bytes per CPU second).
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "core/crc32.h"

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A sink the compiler cannot see through, so no call is left out.
volatile std::uint32_t gSink;

template <class F>
double BestGBps(int runs, std::size_t size, F&& crc) {
  const std::size_t calls = std::max<std::size_t>(1, (std::size_t{128} << 20) / size);
  double best = 1e30;
  for (int r = 0; r < runs; ++r) {
    std::uint32_t c = 0;
    const double t0 = Now();
    for (std::size_t i = 0; i < calls; ++i) c = crc(c);
    best = std::min(best, Now() - t0);
    gSink = c;
  }
  return static_cast<double>(calls * size) / best / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::vector<std::size_t> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "-r" && i + 1 < argc)
      runs = std::atoi(argv[++i]);
    else
      sizes.push_back(std::strtoull(argv[i], nullptr, 0));
  }
  if (sizes.empty()) sizes = {64, 1024, 4096, 10240, 32768, 262144 + 200, 1 << 20};
  const std::size_t largest = *std::max_element(sizes.begin(), sizes.end());
  std::vector<std::uint8_t> data(largest + 64);
  std::uint32_t x = 12345;
  for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 23);
  // One byte past an aligned start, as the decoder's output rarely starts aligned.
  const std::uint8_t* p = data.data() + 1;

  using tarvo::core::TCRC32Engine;
  const std::pair<TCRC32Engine, const char*> engines[] = {{TCRC32Engine::ceTable, "table"},
                                                          {TCRC32Engine::ceClmul, "clmul"},
                                                          {TCRC32Engine::ceClmulAvx2, "avx2"},
                                                          {TCRC32Engine::ceClmulAvx512, "avx512"}};
  std::printf("%10s |", "bytes");
  for (const auto& [engine, name] : engines)
    if (tarvo::core::CRC32EngineAvailable(engine)) std::printf(" %7s", name);
  std::printf(" | %8s %8s %8s | %7s %7s\n", "ours", "zlib", "libdefl", "x zlib", "x ldefl");
  for (const std::size_t size : sizes) {
    std::printf("%10zu |", size);
    for (const auto& [engine, name] : engines)
      if (tarvo::core::CRC32EngineAvailable(engine))
        std::printf(" %7.2f", BestGBps(runs, size, [&, engine = engine](std::uint32_t c) {
                      return ~tarvo::core::UpdateCRC32With(engine, ~c, p, size);
                    }));
    const double ours = BestGBps(runs, size, [&](std::uint32_t c) { return tarvo::core::ComputeCRC32(c, p, size); });
    const double zl = BestGBps(runs, size, [&](std::uint32_t c) {
      return static_cast<std::uint32_t>(crc32(c, p, static_cast<uInt>(size)));
    });
    const double ld = BestGBps(runs, size, [&](std::uint32_t c) { return libdeflate_crc32(c, p, size); });
    if (tarvo::core::ComputeCRC32(0, p, size) != libdeflate_crc32(0, p, size)) {
      std::fprintf(stderr, "ours: wrong CRC at %zu bytes\n", size);
      return 1;
    }
    std::printf(" | %8.2f %8.2f %8.2f | %7.2f %7.2f\n", ours, zl, ld, ours / zl, ours / ld);
  }
  std::printf("(GB/s per CPU second, best of %d runs; the engines one by one, then ours as chosen;\n x = ours / peer)\n", runs);
  return 0;
}
