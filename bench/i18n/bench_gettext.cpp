// Lookups per second: our instance against the C library's gettext(), the same catalog,
// the same msgids (every msgid of the catalog plus as many that it does not hold), in one
// process, one after the other, a few rounds each.
//   bench_gettext CATALOG.mo
// The C library needs a non-C locale for messages: run with LC_ALL set to an installed
// French locale (run.sh makes one with localedef in a private LOCPATH).
#include <libintl.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "i18n/file_locator.h"
#include "i18n/gettext_instance.h"
#include "i18n/mo_file.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

template <class F>
double LookupsPerSecond(const std::vector<std::string>& ids, F lookup) {
  std::size_t sink = 0, done = 0;
  const auto start = Clock::now();
  double seconds = 0;
  while (seconds < 1.0) {
    for (const std::string& id : ids) sink += lookup(id);
    done += ids.size();
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
  if (sink == 42) std::puts("");
  return static_cast<double>(done) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CATALOG.mo\n", argv[0]);
    return 2;
  }
  const fs::path root = fs::temp_directory_path() / ("tarvo_bench_gettext_" + std::to_string(::getpid()));
  const fs::path dir = root / "locale" / "fr" / "LC_MESSAGES";
  fs::create_directories(dir);
  fs::copy_file(argv[1], dir / "bench.mo", fs::copy_options::overwrite_existing);

  std::vector<std::string> ids;
  std::size_t translated = 0;
  {
    tarvo::i18n::TMoFile mo((dir / "bench.mo").string());
    for (std::uint32_t i = 0; i < mo.Count(); ++i) {
      const std::string id(mo.MsgId(i));
      // Plural entries and the header are not looked up by gettext(); C strings stop at NUL.
      if (id.empty() || id.find('\0') != std::string::npos) continue;
      ids.push_back(id);
      ids.push_back(id + " (absent)");
      if (!mo.Translation(i).empty()) ++translated;
    }
  }

  // The C library.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  ::bindtextdomain("bench", (root / "locale").c_str());
  ::textdomain("bench");
  std::size_t glibcHits = 0;
  for (const std::string& id : ids) glibcHits += id != ::gettext(id.c_str());
  // Ours, on the same folder.
  tarvo::i18n::TFileLocator locator;
  locator.Analyze((root / "bench").string());
  tarvo::i18n::TGettextInstance ours(locator, root.string());
  ours.UseLanguage("fr");
  ours.bindtextdomain("bench", (root / "locale").string());
  ours.textdomain("bench");
  std::size_t ourHits = 0;
  for (const std::string& id : ids) {
    // Our results carry CR LF line ends; compare without them.
    std::string r = ours.gettext(id);
    std::erase(r, '\r');
    ourHits += r != id;
  }

  std::printf("catalog %s: %zu msgids looked up (%zu present), translated: ours %zu, C library %zu\n", argv[1],
              ids.size(), translated, ourHits, glibcHits);
  if (glibcHits == 0) {
    std::fprintf(stderr, "the C library translates nothing: is LC_ALL a French locale it knows?\n");
    fs::remove_all(root);
    return 1;
  }
  double bestOurs = 0, bestC = 0;
  for (int round = 0; round < 3; ++round) {
    const double c = LookupsPerSecond(ids, [](const std::string& id) { return std::char_traits<char>::length(::gettext(id.c_str())); });
    const double o = LookupsPerSecond(ids, [&](const std::string& id) { return ours.gettext(id).size(); });
    bestC = std::max(bestC, c);
    bestOurs = std::max(bestOurs, o);
    std::printf("round %d: ours %.0f lookups/s, C library gettext() %.0f lookups/s\n", round + 1, o, c);
  }
  std::printf("best: ours %.0f /s, C library %.0f /s, ratio ours/C library = %.2fx\n", bestOurs, bestC, bestOurs / bestC);
  fs::remove_all(root);
  return 0;
}
