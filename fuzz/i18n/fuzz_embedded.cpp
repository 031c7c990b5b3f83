// An executable file from arbitrary bytes: the search for embedded catalogs and the
// loading of every catalog it finds must stay inside the file.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "i18n/file_locator.h"
#include "i18n/gettext_errors.h"

using namespace tarvo::i18n;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/tarvo_fuzz_embedded_" + std::to_string(::getpid()) + "/setup";
  static const bool made = [] {
    const std::string dir = path.substr(0, path.rfind('/'));
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
  }();
  if (!made) return 0;
  // Inputs start after a begin marker most of the time, so the chain walk gets exercised.
  std::string content = (size > 0 && (data[0] & 1)) ? EmbedBeginMarker() : std::string();
  content.append(reinterpret_cast<const char*>(data), size);
  if (size > 0 && (data[0] & 2)) content += EmbedEndMarker();
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  } else {
    return 0;
  }
  TFileLocator locator;
  locator.Analyze(path);
  for (const auto& [name, info] : locator.EmbeddedFiles()) {
    try {
      TMoFile* mo = locator.GetMoFile(locator.BaseDirectory() + name);
      bool found = false;
      if (mo->Count() > 0) mo->gettext(mo->MsgId(0), found);
      locator.ReleaseMoFile(mo);
    } catch (const EGettextIOError&) {
    }
  }
  return 0;
}
