// vmunzip: a command-line tool over TVmUnZipper, for people and for tests.
//
//   vmunzip list ARCHIVE
//   vmunzip test ARCHIVE
//   vmunzip extract [-d DIR] [--paths] [--password PW] ARCHIVE [MASK]
//
// list prints one line per entry: name, uncompressed size, compressed size, method,
// CRC-32 (8 hex digits), date and time, separated by tabs. Names are printed as UTF-8.
// Tar archives, gzip and bzip2 files (a single file or a tar) are read as well.
// Each failed entry prints "NAME: MESSAGE" on stderr.
// Exit status: 0 all succeeded, 1 some entry failed, 2 the archive could not be opened
// (its exception's message on stderr) or the command line was wrong.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dll_search.h"
#include "core/exception.h"
#include "platform/file_time.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitEntryFailed = 1;
constexpr int kExitCannotOpen = 2;

int Usage() {
  std::fprintf(stderr,
               "usage: vmunzip list ARCHIVE\n"
               "       vmunzip test ARCHIVE\n"
               "       vmunzip extract [-d DIR] [--paths] [--password PW] ARCHIVE [MASK]\n");
  return kExitCannotOpen;
}

// Counts and prints the failures the component reports.
struct TFailureLog {
  int Count = 0;
  void Bind(TVmUnZipper& unzipper) {
    unzipper.OnProcessItemFailure = [this](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                           const std::string& message) {
      ++Count;
      std::fprintf(stderr, "%s: %s\n", item ? item->FileName().c_str() : "?", message.c_str());
    };
  }
};

bool Open(TVmUnZipper& unzipper, const std::string& archive, const std::string& baseDirectory) {
  try {
    unzipper.SetBaseDirectory(baseDirectory);
    unzipper.OpenArchive(archive);
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return false;
  }
}

std::string CurrentFolder() {
  std::error_code ec;
  return std::filesystem::current_path(ec).string();
}

int List(const std::string& archive) {
  TVmUnZipper unzipper;
  if (!Open(unzipper, archive, std::string())) return kExitCannotOpen;
  TVmZipArchive* zip = unzipper.ZipArchive();
  try {
    for (std::size_t i = 0; i < unzipper.Count(); ++i) {
      TVmArchiveItem* item = unzipper.Items(i);
      // Entries of tar, gzip and bzip2 archives have no method number and no CRC of their
      // own: both print as 0.
      TVmZipItem* zipItem = zip ? zip->ZipItems(i) : nullptr;
      platform::TDosDateTime t = platform::SplitDosDateTime(item->LastModFileDate(), item->LastModFileTime());
      std::printf("%s\t%llu\t%llu\t%u\t%08x\t%04u-%02u-%02u %02u:%02u:%02u\n", item->FileName().c_str(),
                  static_cast<unsigned long long>(item->UncompressedSize()),
                  static_cast<unsigned long long>(item->CompressedSize()), zipItem ? zipItem->CompressionMethod() : 0u,
                  item->CRC32(), t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second);
    }
  } catch (const std::exception& e) {
    // The directory is read again as it is listed: a file changed since it was opened.
    std::fprintf(stderr, "%s\n", e.what());
    return kExitEntryFailed;
  }
  return kExitOk;
}

int Test(const std::string& archive) {
  TVmUnZipper unzipper;
  TFailureLog failures;
  failures.Bind(unzipper);
  if (!Open(unzipper, archive, std::string())) return kExitCannotOpen;
  try {
    unzipper.Archive()->TagAll();
    unzipper.TestTaggedItems();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitEntryFailed;
  }
  return failures.Count == 0 ? kExitOk : kExitEntryFailed;
}

int Extract(int argc, char** argv) {
  std::string directory, password, archive, mask = "*.*";
  bool paths = false, havePassword = false;
  std::vector<std::string> positional;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-d" && i + 1 < argc) {
      directory = argv[++i];
    } else if (a == "--paths") {
      paths = true;
    } else if (a == "--password" && i + 1 < argc) {
      password = argv[++i];
      havePassword = true;
    } else if (a == "--") {
      for (++i; i < argc; ++i) positional.emplace_back(argv[i]);
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return Usage();
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty() || positional.size() > 2) return Usage();
  archive = positional[0];
  if (positional.size() == 2) mask = positional[1];
  if (directory.empty()) directory = CurrentFolder();

  TVmUnZipper unzipper;
  TFailureLog failures;
  failures.Bind(unzipper);
  if (paths) unzipper.SetExtractOptions(eoCreateDirs | eoRestorePath);
  if (havePassword) unzipper.SetPassword(password);
  if (!Open(unzipper, archive, directory)) return kExitCannotOpen;
  try {
    unzipper.ExtractFiles(mask);
  } catch (const std::exception& e) {
    // Raised out of the loop (a user abort leaves the archive unusable, a folder that may
    // not be created): the extraction as a whole failed.
    std::fprintf(stderr, "%s\n", e.what());
    return kExitEntryFailed;
  }
  unzipper.CloseArchive();
  return failures.Count == 0 ? kExitOk : kExitEntryFailed;
}

}  // namespace

int main(int argc, char** argv) {
  tarvo::platform::RestrictDllSearch();
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "list" && argc == 3) return List(argv[2]);
  if (command == "test" && argc == 3) return Test(argv[2]);
  if (command == "extract") return Extract(argc, argv);
  return Usage();
}
