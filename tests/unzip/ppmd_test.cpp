// PPMd (method 98) and the SDK build the LZMA and PPMd decoders come from: the public PPMd
// samples, archives made now by 7-Zip with several orders and model sizes, streams from an
// independent encoder (Debian's python3-ppmd) with both restoration methods, and damaged
// streams, which must fail as the CRC check or the method's error says.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <map>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "test_support.h"
#include "unzip/methods/further_methods.h"
#include "unzip/methods/lzma_decoder.h"
#include "unzip/methods/ppmd_decoder.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

constexpr std::uint16_t kMethodPpmd = 98;
// Debian's interpreter: the python3 first on PATH may lack Debian's modules.
const char* const kDebianPython = "/usr/bin/python3";

#define REQUIRE_PPMD() \
  if (!PpmdBuiltIn()) GTEST_SKIP() << "built without the LZMA SDK's PPMd (no 7zip source)"

std::string DecodeRaw(const std::string& data, std::uint32_t memoryLimitMiB = kPpmdLargestModelMiB) {
  core::TMemoryStream in(std::vector<std::uint8_t>(data.begin(), data.end())), out;
  DecodePpmd(in, out, memoryLimitMiB);
  return out.DataString();
}

std::uint16_t PpmdWord(unsigned order, unsigned memoryMiB, unsigned restore) {
  return static_cast<std::uint16_t>((order - 1) | (memoryMiB - 1) << 4 | restore << 12);
}

std::uint32_t LittleEndianAt(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
  return v;
}

// The first entry's data in a ZIP file: after its local header, name and extra field.
std::string FirstEntryData(const std::string& zip) {
  const std::size_t start = 30 + LittleEndianAt(zip, 26, 2) + LittleEndianAt(zip, 28, 2);
  return zip.substr(start, LittleEndianAt(zip, 18, 4));
}
std::uint16_t FirstEntryWord(const std::string& zip) {
  return static_cast<std::uint16_t>(LittleEndianAt(FirstEntryData(zip), 0, 2));
}

bool HaveDebianPpmd() { return Shell(std::string(kDebianPython) + " -c 'import ppmd' 2>/dev/null") == 0; }

// Text of repeated words, and binary: little-endian counters with noise, which PPMd
// compresses but not as text.
const char* const kMakeInputs = R"(
import random, struct, sys
r = random.Random(7)
words = [''.join(r.choice('abcdefghij') for _ in range(r.randint(2, 9))) for _ in range(400)]
open('text.txt', 'w').write(' '.join(r.choice(words) for _ in range(40000)))
open('binary.bin', 'wb').write(b''.join(struct.pack('<IH', i * 2654435761 % 65521, r.randrange(300)) for i in range(20000)))
open('one.txt', 'w').write('x')
open('empty.txt', 'w').write('')
)";

}  // namespace

// Says which SDK the decoders come from; without the SDK's PPMd, method 98 is an
// unsupported method like any other unknown one.
TEST(LzmaSdk, SaysWhichDecodersAreBuilt) {
  std::cout << "LZMA SDK " << LzmaSdkVersion() << "; PPMd "
            << (PpmdBuiltIn() ? "built in" : "not built (method 98 unsupported)") << std::endl;
  RecordProperty("lzma_sdk", LzmaSdkVersion());
  RecordProperty("ppmd", PpmdBuiltIn() ? "built in" : "not built");
  if (PpmdBuiltIn()) return;
  TTempDir dir;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a.txt", .Data = LE16(PpmdWord(6, 16, 0)) + std::string(20, '\x11'), .Method = kMethodPpmd});
  WriteFile(dir / "a.zip", BuildZip(layout));
  EXPECT_EQ(ExtractAll(dir / "a.zip"), std::vector<std::string>{"a.txt: Cannot extract file - unsupported compression method"});
}

// Every PPMd sample of the public archives (7-Zip, WinZip, PKZIP; orders 5 to 16, 1 to 64 MiB)
// decodes to the CRC its maker recorded.
class PpmdPublicArchive : public ::testing::TestWithParam<const char*> {};

TEST_P(PpmdPublicArchive, EveryEntryDecodesToItsCrc) {
  REQUIRE_PPMD();
  std::map<std::string, std::string> files;
  EXPECT_EQ(ExtractAll(FixturesDir() + "/" + GetParam(), "", &files), std::vector<std::string>{});
  EXPECT_FALSE(files.empty());
}

INSTANTIATE_TEST_SUITE_P(Samples, PpmdPublicArchive,
                         ::testing::Values("sharpcompress/Zip.ppmd.zip", "sharpcompress/Zip.ppmd.dd.zip",
                                           "zipdetails/7z-windows-ppmd.zip", "zipdetails/winzip-el-ppmd.zip",
                                           "zipdetails/pkzip-method-ppmd.zip", "zip2/ppmd.zip", "corkami/PPMd.zip",
                                           "libarchive/test_read_format_zip_ppmd8.zipx",
                                           "libarchive/test_read_format_zip_ppmd8_multi.zipx"));

// 7-Zip's archives, one per order and model size, each with text, binary, one-byte and empty
// files, extract to the files they were made from. 7-Zip shrinks the model to the input, so
// the largest model needs a 16 MiB file.
TEST(PpmdPeerArchives, SevenZipArchivesExtractToTheirFiles) {
  REQUIRE_PPMD();
  const std::string sevenZip = SevenZip();
  if (sevenZip.empty() || !HaveTool("python3")) GTEST_SKIP() << "7z or python3 missing";
  TTempDir dir;
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && python3 -c " + Quote(kMakeInputs)), 0);
  std::map<std::string, std::string> originals;
  for (const char* f : {"text.txt", "binary.bin", "one.txt", "empty.txt"}) originals[f] = ReadText(dir / f);
  struct {
    int Order;
    const char* Memory;
    std::uint16_t Word;  // what 7-Zip writes for text.txt
  } cases[] = {{2, "1m", PpmdWord(2, 1, 0)}, {6, "16m", PpmdWord(6, 4, 0)}, {16, "1m", PpmdWord(16, 1, 0)}, {16, "16m", PpmdWord(16, 4, 0)},
               {16, "256m", PpmdWord(16, 4, 0)}};
  for (const auto& c : cases) {
    const std::string name = "o" + std::to_string(c.Order) + c.Memory + ".zip";
    SCOPED_TRACE(name);
    ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && " + sevenZip + " a -tzip -mm=PPMd -mo=" + std::to_string(c.Order) +
                    " -mmem=" + c.Memory + " " + name + " text.txt binary.bin one.txt empty.txt >/dev/null"),
              0);
    EXPECT_EQ(FirstEntryWord(ReadText(dir / name)), c.Word);
    std::map<std::string, std::string> files;
    EXPECT_EQ(ExtractAll(dir / name, "", &files), std::vector<std::string>{});
    EXPECT_EQ(Digest(files), Digest(originals));
  }
  // The largest model the word can name.
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && python3 -c \"import sys; t = open('text.txt').read(); "
                                                   "open('big.txt', 'w').write((t * 70)[:16 * 1024 * 1024 + 1])\" && " +
                  sevenZip + " a -tzip -mm=PPMd -mo=2 -mmem=256m big.zip big.txt >/dev/null"),
            0);
  EXPECT_EQ(FirstEntryWord(ReadText(dir / "big.zip")), PpmdWord(2, 256, 0));
  std::map<std::string, std::string> files;
  EXPECT_EQ(ExtractAll(dir / "big.zip", "", &files), std::vector<std::string>{});
  EXPECT_EQ(Digest(files), Digest({{"big.txt", ReadText(dir / "big.txt")}}));
}

// Streams of Debian's python3-ppmd (its own build of the variant I coder), decoded one after
// the other on one thread, so the kept model changes size, order and restoration method
// between them. A 1 MiB model of order 16 fills up on this text, so restart and cut-off
// both run.
TEST(PpmdPeerStreams, AnIndependentEncodersStreamsDecode) {
  REQUIRE_PPMD();
  if (!HaveDebianPpmd()) GTEST_SKIP() << "python3-ppmd missing";
  struct TCase {
    unsigned Order, MemoryMiB, Restore;
    const char* Input;  // a file made by kMakeInputs
  } cases[] = {{6, 16, 0, "text.txt"}, {16, 1, 1, "text.txt"},    {2, 1, 0, "binary.bin"}, {16, 1, 0, "text.txt"},
               {8, 256, 0, "text.txt"}, {3, 16, 1, "binary.bin"}, {6, 16, 0, "one.txt"},   {6, 16, 1, "empty.txt"},
               {16, 2, 1, "binary.bin"}};
  TTempDir dir;
  std::string encode = kMakeInputs;
  encode += "import ppmd, io\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const TCase& c = cases[i];
    encode += "b = io.BytesIO(); e = ppmd.Ppmd8Encoder(b, " + std::to_string(c.Order) + ", " +
              std::to_string(c.MemoryMiB) + " << 20, " + std::to_string(c.Restore) + "); e.encode(open('" + c.Input +
              "', 'rb').read()); e.flush(); open('s" + std::to_string(i) + "', 'wb').write(b.getvalue())\n";
  }
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && " + kDebianPython + " -c " + Quote(encode)), 0);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const TCase& c = cases[i];
    SCOPED_TRACE(std::to_string(c.Order) + "/" + std::to_string(c.MemoryMiB) + " MiB/restore " +
                 std::to_string(c.Restore) + " " + c.Input);
    const std::string stream = LE16(PpmdWord(c.Order, c.MemoryMiB, c.Restore)) + ReadText(dir / ("s" + std::to_string(i)));
    const std::string original = ReadText(dir / c.Input);
    const std::string decoded = DecodeRaw(stream);
    EXPECT_EQ(decoded.size(), original.size());
    EXPECT_TRUE(decoded == original);
  }
}

// Parameters the SDK cannot model are refused before anything is allocated; a model beyond
// what may be allocated is the memory error.
TEST(PpmdParameters, RefusedWithTheMethodsError) {
  REQUIRE_PPMD();
  struct {
    std::string Data;
    std::uint32_t MemoryLimitMiB;
    const char* Message;
  } cases[] = {
      {LE16(PpmdWord(1, 16, 0)) + std::string(8, '\0'), 256, "PPMd model not supported (order 1, restoration method 0)"},
      {LE16(PpmdWord(6, 16, 2)) + std::string(8, '\0'), 256, "PPMd model not supported (order 6, restoration method 2)"},
      {LE16(0xFFFF) + std::string(8, '\0'), 256, "PPMd model not supported (order 16, restoration method 15)"},
      {LE16(PpmdWord(6, 256, 0)) + std::string(8, '\0'), 64, "Not enough memory for a PPMd model of 256 MiB"},
      {std::string("\x05", 1), 256, "Stream read error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Message);
    try {
      DecodeRaw(c.Data, c.MemoryLimitMiB);
      ADD_FAILURE() << "decoded";
    } catch (const core::Exception& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
  }
}

// 7-Zip's stream of the text, damaged at several places and cut at several lengths: every
// entry fails, by its CRC or by running past its size, never by reading or writing out of
// bounds. A stream of all ones is no range coder output: it gives nothing.
TEST(PpmdDamagedStreams, FailTheEntryCleanly) {
  REQUIRE_PPMD();
  const std::string sevenZip = SevenZip();
  if (sevenZip.empty() || !HaveTool("python3")) GTEST_SKIP() << "7z or python3 missing";
  TTempDir dir;
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && python3 -c " + Quote(kMakeInputs) + " && " + sevenZip +
                  " a -tzip -mm=PPMd -mo=8 t.zip text.txt >/dev/null"),
            0);
  const std::string zip = ReadText(dir / "t.zip");
  const std::string text = ReadText(dir / "text.txt");
  const std::string stream = FirstEntryData(zip);
  TZipLayout layout;
  auto add = [&](const std::string& name, const std::string& data) {
    layout.Entries.push_back({.Name = name, .Data = data, .Method = kMethodPpmd, .Crc = Crc(text),
                              .UncompressedSize = static_cast<std::uint32_t>(text.size())});
  };
  for (std::size_t at : {std::size_t{2}, std::size_t{3}, std::size_t{40}, stream.size() / 2, stream.size() - 5}) {
    std::string damaged = stream;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    add("flipped" + std::to_string(at), damaged);
  }
  for (std::size_t length : {std::size_t{2}, std::size_t{6}, stream.size() / 3, stream.size() - 8})
    add("cut" + std::to_string(length), stream.substr(0, length));
  add("ones", stream.substr(0, 2) + std::string(64, '\xFF'));
  WriteFile(dir / "damaged.zip", BuildZip(layout));
  const std::vector<std::string> failures = ExtractAll(dir / "damaged.zip");
  ASSERT_EQ(failures.size(), layout.Entries.size()) << ::testing::PrintToString(failures);
  for (const std::string& failure : failures) {
    SCOPED_TRACE(failure);
    const std::string message = failure.substr(failure.find(": ") + 2);
    EXPECT_TRUE(message == "Failed CRC Check" || message == "Cannot extract file - data longer than its declared size");
  }
  EXPECT_EQ(DecodeRaw(stream.substr(0, 2) + std::string(64, '\xFF')), "");
  // The final flush carries more than the decoder needs: without its last byte the text
  // still comes out whole (and the CRC check agrees).
  EXPECT_TRUE(DecodeRaw(stream.substr(0, stream.size() - 1)) == text);
}
