// Opens a tar (FUZZ_GZIP undefined) or a gzip file (FUZZ_GZIP defined) held in memory,
// lists it and tests every entry (from the content kept at opening, or decoding again),
// then extracts the last entry to a stream: header blocks, long names and pax records, numeric
// fields, gzip member headers, Inflate and the trailer checks. Any exception with a
// message is a clean refusal; a crash, a sanitizer report, a hang or memory that grows
// with a stated size is a fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/memory_stream.h"
#include "unzip/archive_probe.h"
#include "unzip/gzip_archive.h"
#include "unzip/stream_archive.h"

using namespace tarvo;
using namespace tarvo::unzip;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  core::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
#ifdef FUZZ_GZIP
  (void)ProbeGzip(stream);
  TVmGzipArchive archive(&stream, "fuzz.gz", TVmArchiveType::atGzip);
#else
  (void)ProbeTar(stream);
  TVmTarArchive archive(&stream, "fuzz.tar");
#endif
  // Odd sizes find no folder to keep the decoded content in: their passes decode again.
  if (size % 2) archive.FTempDirectory = "/nonexistent/tarvo-fuzz";
  try {
    archive.Load();
  } catch (const std::exception&) {
    return 0;
  }
  for (std::size_t i = 0; i < archive.Count(); ++i) {
    (void)archive.Items(i)->IsDirectory();
    (void)archive.Items(i)->LastModTimeAsDateTime();
  }
  archive.FOnProcessItemFailure = [](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                     const std::string& message) { (void)item->FileName().size(), (void)message; };
  archive.TagAll();
  archive.TestTaggedItems();
  if (archive.Count() > 0) {
    core::TNullStream sink;
    try {
      archive.ExtractToStream(archive.Items(archive.Count() - 1)->FileName(), &sink);
    } catch (const std::exception&) {
    }
  }
  return 0;
}
