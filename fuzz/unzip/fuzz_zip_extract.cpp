// Extracts an archive held in a file into a private folder with the stored paths kept,
// then checks that nothing was written outside the extraction folder and removes what
// was. Decoding, decryption (a fixed password), path building and the declared-size
// limit all run on every input. The same bytes are then tested as an archive in memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "core/stream.h"
#include "unzip/entry_decoder.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
namespace fs = std::filesystem;

namespace {

struct TSandbox {
  fs::path Root, Out, Archive;
  TSandbox() {
    Root = fs::temp_directory_path() / ("fuzz_zip_extract_" + std::to_string(::getpid()));
    Out = Root / "box" / "out";
    Archive = Root / "input.zip";
    fs::remove_all(Root);
    fs::create_directories(Out);
  }
  ~TSandbox() {
    std::error_code ec;
    fs::remove_all(Root, ec);
  }
};

TSandbox& Sandbox() {
  static TSandbox sandbox;
  return sandbox;
}

void CheckNothingEscaped(const TSandbox& s) {
  // Only out/ may exist inside box/; and nothing but box/ and the input beside it.
  for (const auto& e : fs::directory_iterator(s.Root / "box"))
    if (e.path() != s.Out) {
      std::fprintf(stderr, "written outside the extraction folder: %s\n", e.path().c_str());
      std::abort();
    }
  for (const auto& e : fs::directory_iterator(s.Root))
    if (e.path() != s.Root / "box" && e.path() != s.Archive) {
      std::fprintf(stderr, "written outside the extraction folder: %s\n", e.path().c_str());
      std::abort();
    }
}

void Empty(const fs::path& folder) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, ec);
    fs::remove_all(e.path(), ec);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TSandbox& s = Sandbox();
  {
    std::ofstream out(s.Archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    TVmUnZipper unzipper;
    unzipper.SetExtractOptions(eoCreateDirs | eoRestorePath);
    unzipper.SetPassword("password");
    unzipper.FPasswordRetries = 0;
    unzipper.SetBaseDirectory(s.Out.string());
    unzipper.OpenArchive(s.Archive.string());
    unzipper.ExtractFiles("*.*");
    // The same entries once more into a sink, with the entry test's header comparison.
    if (TVmZipArchive* zip = unzipper.ZipArchive()) {
      for (std::size_t i = 0; i < zip->Count() && i < 64; ++i) {
        try {
          TestEntry(*zip, *zip->ZipItems(i));
        } catch (const std::exception&) {
        }
      }
    }
  } catch (const std::exception&) {
  }
  // The same bytes as an archive held in memory, whose entries are decoded in place
  // through their windows.
  try {
    core::TMemoryStream memory(std::vector<std::uint8_t>(data, data + size));
    TVmZipArchive archive(&memory, "input.zip");
    archive.Load();
    for (std::size_t i = 0; i < archive.Count() && i < 64; ++i) {
      try {
        TestEntry(archive, *archive.ZipItems(i));
      } catch (const std::exception&) {
      }
    }
  } catch (const std::exception&) {
  }
  CheckNothingEscaped(s);
  Empty(s.Out);
  return 0;
}
