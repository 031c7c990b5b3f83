// Opens and lists an archive held in memory: end-record search, ZIP64 records, central
// entries, name decoding, the item list and its name index. Any exception with a message
// is a clean refusal; a crash, a sanitizer report or a hang is a fault. The directory's
// blocks are 1 to 4 entries (by the input's length), so that walks forward, backward and
// by name leave the windows all the time; both walks must read the same items.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "unzip/archive_probe.h"
#include "unzip/mask_match.h"
#include "unzip/zip_archive.h"

using namespace tarvo;
using namespace tarvo::unzip;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  core::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  (void)ProbeZip(stream);
  (void)ProbeSelfExtractingZip(stream);
  TVmZipArchive archive(&stream, "fuzz.zip");
  archive.SetDirectoryBlockEntries(1 + size % 4);
  try {
    archive.Load();
  } catch (const std::exception&) {
    return 0;
  }
  std::vector<std::string> names;
  for (std::size_t i = 0; i < archive.Count(); ++i) {
    TVmZipItem* item = archive.ZipItems(i);
    (void)item->IsDirectory();
    (void)item->NativeFileAttributes();
    (void)item->LastModTimeAsDateTime();
    item->SetTagged(i % 2 == 1);
    names.push_back(item->FileName());
    long found = archive.ItemList().IndexOf(item->FileName());
    if (found < static_cast<long>(i) ||
        UpperCaseName(archive.Items(static_cast<std::size_t>(found))->FileName()) != UpperCaseName(names.back()))
      __builtin_trap();
    (void)MatchesStoredNameEx("*.*;a*;*\\?b*", names.back(), archive.Items(i)->IsDirectory());
  }
  for (std::size_t i = archive.Count(); i-- > 0;)
    if (archive.Items(i)->FileName() != names[i] || archive.Items(i)->Tagged() != (i % 2 == 1)) __builtin_trap();
  return 0;
}
