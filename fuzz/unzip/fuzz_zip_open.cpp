// Opens and lists an archive held in memory: end-record search, ZIP64 records, central
// entries, name decoding, the item list and its name index. Any exception with a message
// is a clean refusal; a crash, a sanitizer report or a hang is a fault.
#include <cstddef>
#include <cstdint>
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
  try {
    archive.Load();
  } catch (const std::exception&) {
    return 0;
  }
  for (std::size_t i = 0; i < archive.Count(); ++i) {
    TVmZipItem* item = archive.ZipItems(i);
    (void)item->IsDirectory();
    (void)item->NativeFileAttributes();
    (void)item->LastModTimeAsDateTime();
    (void)archive.ItemList().IndexOf(item->FileName());
    (void)MatchesStoredNameEx("*.*;a*;*\\?b*", item->FileName(), item->IsDirectory());
  }
  return 0;
}
