// The ZIP directory made into items on demand: walks in every order over archives larger
// than the two windows, items held while others are made, states and name lookups that
// must survive a block leaving memory, a directory changed under an open archive, and the
// memory an archive of many entries holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "core/memory_stream.h"
#include "test_support.h"
#include "unzip/byte_order.h"
#include "unzip/entry_decoder.h"
#include "unzip/unzipper.h"
#include "unzip/vm_exception.h"
#include "unzip/zip_archive.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

constexpr std::size_t kEntries = 50;
constexpr std::size_t kBlock = 4;  // 13 blocks: most walks leave both windows many times

std::string NameOf(std::size_t i) {
  // Two entries of one name, apart in the directory and in case: the later is found.
  if (i == 5) return "dup.txt";
  if (i == 40) return "DUP.TXT";
  char name[48];
  std::snprintf(name, sizeof name, "dir/entry%02zu.txt", i);
  return name;
}

std::string DataOf(std::size_t i) { return "content of entry " + std::to_string(i); }

TZipLayout Layout(const std::string& centralExtra = std::string()) {
  TZipLayout layout;
  for (std::size_t i = 0; i < kEntries; ++i)
    layout.Entries.push_back({.Name = NameOf(i), .Data = DataOf(i), .CentralExtra = centralExtra});
  return layout;
}

// The same archive with its central entries in reverse order: the local entries are then
// not in directory order, and the data limits come from the sorted offsets.
std::vector<std::uint8_t> ReverseDirectory(std::vector<std::uint8_t> zip) {
  const std::uint8_t* end = zip.data() + zip.size() - 22;
  std::size_t size = GetLE32(end + 12), offset = GetLE32(end + 16);
  std::vector<std::vector<std::uint8_t>> records;
  for (std::size_t at = offset; at < offset + size;) {
    std::size_t length = 46 + GetLE16(&zip[at + 28]) + GetLE16(&zip[at + 30]) + GetLE16(&zip[at + 32]);
    records.emplace_back(zip.begin() + at, zip.begin() + at + length);
    at += length;
  }
  std::size_t at = offset;
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    std::copy(r->begin(), r->end(), zip.begin() + at);
    at += r->size();
  }
  return zip;
}

class TOpenZip {
public:
  explicit TOpenZip(std::vector<std::uint8_t> bytes) : FStream(std::move(bytes)), FArchive(&FStream, "walk.zip") {
    FArchive.SetDirectoryBlockEntries(kBlock);
    FArchive.Load();
  }
  TVmZipArchive& Archive() { return FArchive; }
  core::TMemoryStream& Stream() { return FStream; }

private:
  core::TMemoryStream FStream;
  TVmZipArchive FArchive;
};

// A walk: the index visited at step k, and whether each item is held while the next is
// made.
struct TWalk {
  const char* What;
  std::size_t (*At)(std::size_t k);
  bool HoldPrevious;
};

const TWalk kWalks[] = {
    {"sequential", [](std::size_t k) { return k; }, false},
    {"backward", [](std::size_t k) { return kEntries - 1 - k; }, true},
    {"scattered", [](std::size_t k) { return k * 17 % kEntries; }, true},  // 17 and 50 are coprime
    {"far pairs", [](std::size_t k) { return k % 2 ? kEntries - 1 - k / 2 : k / 2; }, true},  // every step changes block
};

class DirectoryWalk : public ::testing::TestWithParam<std::tuple<TWalk, bool>> {};

TEST_P(DirectoryWalk, EveryItemReadsAsWrittenAndKeepsItsTag) {
  const auto& [walk, reversed] = GetParam();
  std::vector<std::uint8_t> bytes = BuildZip(Layout());
  TOpenZip zip(reversed ? ReverseDirectory(bytes) : bytes);
  TVmZipArchive& a = zip.Archive();
  ASSERT_EQ(a.Count(), kEntries);
  auto expected = [&](std::size_t index) { return reversed ? kEntries - 1 - index : index; };

  // Tag every third item, so that the tags must come back after their blocks left.
  for (std::size_t i = 0; i < kEntries; i += 3) a.Items(i)->SetTagged(true);

  const TVmZipItem* previous = nullptr;
  std::size_t previousIndex = 0;
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t index = walk.At(k);
    const TVmZipItem* item = a.ZipItems(index);
    EXPECT_EQ(item->FileName(), NameOf(expected(index))) << walk.What << " " << index;
    EXPECT_EQ(item->CRC32(), Crc(DataOf(expected(index)))) << walk.What << " " << index;
    EXPECT_EQ(item->Tagged(), index % 3 == 0) << walk.What << " " << index;
    EXPECT_FALSE(item->FSharesLocalHeader);
    EXPECT_LT(item->FRelativeOffset, item->FDataLimit);
    if (walk.HoldPrevious && previous) {
      EXPECT_EQ(previous->FileName(), NameOf(expected(previousIndex))) << walk.What << " held " << previousIndex;
    }
    previous = item;
    previousIndex = index;
  }

  // Names are found whatever window is in memory; the item's own name may be passed.
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t index = walk.At(k);
    std::size_t found = NameOf(expected(index)) == "dup.txt" || NameOf(expected(index)) == "DUP.TXT"
                            ? (reversed ? kEntries - 1 - 5 : 40)
                            : index;
    EXPECT_EQ(a.ItemList().IndexOf(a.Items(index)->FileName()), static_cast<long>(found)) << walk.What << " " << index;
  }
  EXPECT_EQ(a.ItemList().IndexOf("DIR\\Entry07.TXT"), static_cast<long>(expected(7)));
  EXPECT_EQ(a.ItemList().IndexOf("dir/entry99.txt"), -1);
}

INSTANTIATE_TEST_SUITE_P(Orders, DirectoryWalk, ::testing::Combine(::testing::ValuesIn(kWalks), ::testing::Bool()),
                         [](const auto& info) {
                           std::string name = std::get<0>(info.param).What;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name + (std::get<1>(info.param) ? "_ReversedDirectory" : "");
                         });

TEST(DirectoryWalk, ItemsAskedForWhileTheDirectoryLoads) {
  // A progress handler that shows (and tags) each entry as it is read.
  for (bool reversed : {false, true}) {
    std::vector<std::uint8_t> bytes = BuildZip(Layout());
    core::TMemoryStream stream(reversed ? ReverseDirectory(bytes) : bytes);
    TVmZipArchive a(&stream, "load.zip");
    a.SetDirectoryBlockEntries(kBlock);
    std::vector<std::string> seen;
    a.FOnArchiveProgress = [&](void*, std::uint8_t, bool&) {
      if (seen.size() == a.Count()) return;  // the final 100 %
      TVmArchiveItem* last = a.Items(a.Count() - 1);
      seen.push_back(last->FileName());
      last->SetTagged(seen.size() % 2 == 0);
      (void)a.Items(0)->FileName();  // and one from another block
    };
    ASSERT_NO_THROW(a.Load());
    ASSERT_EQ(seen.size(), kEntries);
    for (std::size_t i = 0; i < kEntries; ++i) {
      EXPECT_EQ(seen[i], NameOf(reversed ? kEntries - 1 - i : i));
      EXPECT_EQ(a.Items(i)->Tagged(), i % 2 == 1) << reversed << " " << i;
      core::TMemoryStream out;
      ExtractEntryToStream(a, *a.ZipItems(i), &out);
      EXPECT_EQ(out.DataString(), DataOf(reversed ? kEntries - 1 - i : i)) << reversed << " " << i;
    }
  }
}

TEST(DirectoryWalk, DirectoryChangedAfterOpeningIsAReadError) {
  // Entries of 4 KiB each in the directory, so that the last block lies beyond what the
  // directory's read-ahead still holds; the change is made to its first entry (48).
  const std::string extra = ExtraField(0x9999, std::string(4096, 'x'));
  struct Case {
    const char* What;
    std::function<void(core::TMemoryStream&, std::size_t entry)> Change;
  };
  const Case cases[] = {
      {"signature gone", [](core::TMemoryStream& s, std::size_t at) { s.Memory()[at] = 0; }},
      {"name one byte longer", [](core::TMemoryStream& s, std::size_t at) { ++s.Memory()[at + 28]; }},
      {"local offset moved", [](core::TMemoryStream& s, std::size_t at) { ++s.Memory()[at + 42]; }},
      {"file cut inside the block",
       [](core::TMemoryStream& s, std::size_t at) { s.SetSize(static_cast<std::int64_t>(at + 50)); }},
  };
  for (bool reversed : {false, true}) {
    for (const Case& c : cases) {
      std::vector<std::uint8_t> bytes = BuildZip(Layout(extra));
      TOpenZip zip(reversed ? ReverseDirectory(bytes) : bytes);
      TVmZipArchive& a = zip.Archive();
      const std::string first = a.Items(0)->FileName();
      std::size_t at = a.Info().FDirectoryOffset;
      for (std::size_t i = 0; i < 48; ++i) at += 46 + NameOf(i).size() + extra.size();  // not made: not read
      c.Change(zip.Stream(), at);
      EXPECT_THROW(a.Items(49), EVmReadError) << c.What << " " << reversed;
      EXPECT_EQ(a.Items(0)->FileName(), first) << c.What << " " << reversed;  // the block in memory still reads
    }
  }
}

TEST(DirectoryWalk, ManyEntriesHoldAnIndexOfUnderAByteEach) {
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
  constexpr std::size_t kMany = 20000;
  TTempDir dir;
  ASSERT_EQ(Shell("python3 -c \"import sys, zipfile\n"
                  "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                  "  for i in range(" + std::to_string(kMany) + "): z.writestr(f'folder{i // 100:03d}/file{i:06d}.txt', f'x{i}')\" " +
                  Quote(dir / "many.zip")),
            0);
  TVmUnZipper unzipper;
  unzipper.OpenArchive(dir / "many.zip");
  TVmZipArchive& a = *unzipper.ZipArchive();
  ASSERT_EQ(a.Count(), kMany);
  const std::size_t opened = a.Directory()->IndexBytes();
  EXPECT_LT(opened, kMany / 4);
  for (std::size_t i = kMany; i-- > 0;) {
    char name[64];
    std::snprintf(name, sizeof name, "folder%03zu/file%06zu.txt", i / 100, i);
    ASSERT_EQ(a.Items(i)->FileName(), name);
  }
  EXPECT_EQ(a.Directory()->IndexBytes(), opened);
  a.TagAll();  // a state differing from the default is kept: one byte an entry
  EXPECT_LE(a.Directory()->IndexBytes(), opened + kMany);
  EXPECT_EQ(a.ItemList().IndexOf("FOLDER123\\FILE012345.TXT"), 12345);
  EXPECT_LE(a.ItemList().NameIndexBytes(), kMany * 8 + 1021 * 4);
}

}  // namespace
