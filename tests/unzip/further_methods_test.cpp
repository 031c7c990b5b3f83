// The further compression methods: public archives made by the tools of their time, fresh
// archives made by 7-Zip, Info-ZIP and the WavPack encoder (their inputs are the oracle),
// raw legacy streams with known output, and damaged streams that must fail cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "core/crc32.h"
#include "core/exception.h"
#include "core/memory_stream.h"
#include "test_support.h"
#include "unzip/methods/further_methods.h"
#include "unzip/methods/lzma_decoder.h"
#include "unzip/methods/sliding_window_stream.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// Runs one method over data held in memory and returns what it wrote.
std::string DecodeRaw(std::uint16_t method, std::uint16_t flags, const std::string& data, std::uint64_t size) {
  core::TMemoryStream in(Bytes(data)), out;
  if (!DecodeFurtherMethod(method, flags, in, out, size)) throw std::logic_error("method not known");
  return out.DataString();
}

// Bits least significant first, as the legacy methods read them.
struct TBitWriter {
  std::string Out;
  std::uint32_t Acc = 0;
  int Count = 0;
  TBitWriter& Put(std::uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) {
      Acc |= ((value >> i) & 1u) << Count;
      if (++Count == 8) Flush();
    }
    return *this;
  }
  TBitWriter& Bytes(std::uint8_t b, int n) {
    while (n-- > 0) Put(b, 8);
    return *this;
  }
  void Flush() {
    Out.push_back(static_cast<char>(Acc));
    Acc = 0;
    Count = 0;
  }
  std::string Done() {
    if (Count) Flush();
    return Out;
  }
};

}  // namespace

// Every entry of these archives decodes to the CRC its maker recorded.
class PublicArchive : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(PublicArchive, EveryEntryDecodesToItsCrc) {
  auto [file, password] = GetParam();
  std::map<std::string, std::string> files;
  EXPECT_EQ(ExtractAll(FixturesDir() + "/" + file, password, &files), std::vector<std::string>{});
  EXPECT_FALSE(files.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Methods, PublicArchive,
    ::testing::Values(
        // shrink
        std::pair{"sharpcompress/Zip.shrink.zip", ""}, std::pair{"commons-compress/SHRUNK.ZIP", ""},
        std::pair{"zip2/legacy_shrink.zip", ""}, std::pair{"corkami/shrunk.zip", ""},
        std::pair{"defacto2/HWSHRINK.ZIP", ""},
        // reduce, factors 1 to 4, and PKZIP 0.80's own (with shrunk entries beside)
        std::pair{"sharpcompress/Zip.reduce1.zip", ""}, std::pair{"sharpcompress/Zip.reduce2.zip", ""},
        std::pair{"sharpcompress/Zip.reduce3.zip", ""}, std::pair{"sharpcompress/Zip.reduce4.zip", ""},
        std::pair{"corkami/reduced1.zip", ""}, std::pair{"corkami/reduced2.zip", ""},
        std::pair{"corkami/reduced3.zip", ""}, std::pair{"corkami/reduced4.zip", ""},
        std::pair{"defacto2/PKZ80B1.ZIP", ""}, std::pair{"defacto2/PKZ80B4.ZIP", ""},
        std::pair{"defacto2/HWREDUCE.ZIP", ""}, std::pair{"zip2/legacy_reduce.zip", ""},
        // implode: 4 KiB with two trees, 8 KiB with three
        std::pair{"commons-compress/imploding-4Kdict-2trees.zip", ""}, std::pair{"corkami/implode.zip", ""},
        std::pair{"defacto2/PKZ110.ZIP", ""}, std::pair{"sharpcompress/Zip.implode.zip", ""},
        std::pair{"commons-compress/imploding-8Kdict-3trees.zip", ""},
        std::pair{"commons-compress/lorem-ipsum-implode.zip", ""}, std::pair{"corkami/implodeV3.zip", ""},
        std::pair{"defacto2/HWIMPODE.ZIP", ""}, std::pair{"zip2/legacy_implode.zip", ""},
        // bzip2, one of them encrypted
        std::pair{"sharpcompress/Zip.bzip2.zip", ""}, std::pair{"sharpcompress/Zip.bzip2.dd.zip", ""},
        std::pair{"sharpcompress/Zip.bzip2.pkware.zip", "test"}, std::pair{"commons-compress/bzip2-zip.zip", ""},
        std::pair{"zipdetails/7z-windows-bzip2.zip", ""}, std::pair{"zipdetails/iz-linux-standard-bzip2.zip", ""},
        std::pair{"zipdetails/pkzip-method-bzip2.zip", ""}, std::pair{"corkami/bz2.zip", ""},
        std::pair{"libarchive/test_read_format_zip_bzip2_multi.zipx", ""},
        // LZMA without and with an end mark, flagged or not, and encrypted
        std::pair{"sharpcompress/Zip.lzma.zip", ""}, std::pair{"zipdetails/7z-linux-lzma.zip", ""},
        std::pair{"zipdetails/winzip-el-lzma.zip", ""}, std::pair{"libarchive/test_read_format_zip_lzma_multi.zipx", ""},
        std::pair{"sharpcompress/Zip.lzma.dd.zip", ""}, std::pair{"zipdetails/7z-windows-lzma.zip", ""},
        std::pair{"corkami/lzma.zip", ""}, std::pair{"libarchive/test_read_format_zip_lzma_stream_end.zipx", ""},
        std::pair{"zipdetails/pkzip-method-lzma.zip", ""},
        std::pair{"zipdetails/pkzip-method-lzma-encrypt-passphrase.zip", "password"},
        // WavPack
        std::pair{"corkami/wavpack.zip", ""}));

// Raw legacy streams whose output is known; the last one copies from before the first
// output byte, which yields zeros.
TEST(LegacyStreams, DecodeToTheirKnownOutput) {
  struct {
    const char* File;
    std::uint16_t Method, Flags;
    std::uint64_t Size;
    std::uint32_t Crc;
  } cases[] = {{"zip2/legacy_implode_hamlet_256.bin", 6, 0, 256, 0x6ec1815f},
               {"zip2/legacy_reduce_hamlet_2048.bin", 5, 0, 2048, 0xaaa1c008},
               {"zip2/legacy_reduce_zero_reduced.bin", 5, 0, 3072, 0x5d9491f0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    std::string out = DecodeRaw(c.Method, c.Flags, ReadText(FixturesDir() + "/" + c.File), c.Size);
    EXPECT_EQ(out.size(), c.Size);
    EXPECT_EQ(Crc(out), c.Crc);
  }
  std::string zeroFilled = DecodeRaw(5, 0, ReadText(FixturesDir() + "/zip2/legacy_reduce_zero_reduced.bin"), 3072);
  EXPECT_EQ(zeroFilled.substr(0, 2048), ReadText(FixturesDir() + "/zip2/legacy_implode_hamlet_2048.out"));
  EXPECT_EQ(zeroFilled.substr(2048), std::string(1024, '\0'));
}

// Archives made now by the peers; each extracted file must equal the file they were given.
TEST(PeerArchives, ExtractToTheFilesTheyWereMadeFrom) {
  const std::string sevenZip = SevenZip();
  if (sevenZip.empty() || !HaveTool("zip") || !HaveTool("python3")) GTEST_SKIP() << "7z, zip or python3 missing";
  TTempDir dir;
  // Text with long-range repeats (several bzip2 blocks at level 1), random bytes, one byte.
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && python3 -c " + Quote(R"(
import random
r = random.Random(5)
words = [''.join(r.choice('abcdefghij') for _ in range(r.randint(2, 9))) for _ in range(400)]
open('text.txt', 'w').write(' '.join(r.choice(words) for _ in range(90000)))
open('random.bin', 'wb').write(r.randbytes(70000))
open('one.txt', 'w').write('x'))")),
            0);
  std::map<std::string, std::string> originals;
  for (const char* f : {"text.txt", "random.bin", "one.txt"}) originals[f] = ReadText(dir / f);
  const std::string inputs = " text.txt random.bin one.txt >/dev/null";
  for (const std::string& make : {sevenZip + " a -tzip -mm=LZMA lzma.zip", sevenZip + " a -tzip -mm=LZMA -mx=9 lzma9.zip",
                                  sevenZip + " a -tzip -mm=BZip2 -mx=1 bz1.zip", sevenZip + " a -tzip -mm=BZip2 bz.zip",
                                  std::string("zip -q -Z bzip2 izbz.zip")}) {
    SCOPED_TRACE(make);
    ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && " + make + inputs), 0);
    std::map<std::string, std::string> files;
    std::string archive = dir / make.substr(make.rfind(' ') + 1);
    EXPECT_EQ(ExtractAll(archive, "", &files), std::vector<std::string>{});
    EXPECT_EQ(Digest(files), Digest(originals));
  }
}

// A WAV file through the WavPack encoder, stored as method 97: the entry gives the WAV
// back byte for byte, chunks after the samples included.
TEST(PeerArchives, WavPackEntriesGiveTheWavFileBack) {
  if (!HaveTool("wavpack") || !HaveTool("python3")) GTEST_SKIP() << "wavpack or python3 missing";
  TTempDir dir;
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && python3 -c " + Quote(R"(
import wave, struct, math, random
r = random.Random(3)
def make(name, channels, width, frames):
    with wave.open(name, 'wb') as w:
        w.setnchannels(channels); w.setsampwidth(width); w.setframerate(22050)
        span = 1 << (8 * width - 2)
        w.writeframes(b''.join(
            (int(span * math.sin(i / 9)) + r.randint(-span // 4, span // 4) + (128 if width == 1 else 0))
            .to_bytes(width, 'little', signed=width > 1) for i in range(frames * channels)))
make('stereo16.wav', 2, 2, 20000)
make('mono8.wav', 1, 1, 9000)
make('stereo24.wav', 2, 3, 7000)
d = open('stereo16.wav', 'rb').read()
info = b'LIST' + struct.pack('<I', 12) + b'INFOISFT' + struct.pack('<I', 4) + b'tst\0'
open('trailer.wav', 'wb').write(d[:4] + struct.pack('<I', len(d) - 8 + len(info)) + d[8:] + info))") +
                  " && for f in *.wav; do wavpack -q \"$f\" -o \"${f%.wav}.wv\" || exit 1; done"),
            0);
  TZipLayout layout;
  std::map<std::string, std::string> originals;
  for (const char* name : {"stereo16", "mono8", "stereo24", "trailer"}) {
    std::string wav = ReadText(dir / (std::string(name) + ".wav"));
    originals[std::string(name) + ".wav"] = wav;
    layout.Entries.push_back({.Name = std::string(name) + ".wav",
                            .Data = ReadText(dir / (std::string(name) + ".wv")),
                            .Method = 97,
                            .Crc = Crc(wav),
                            .UncompressedSize = static_cast<std::uint32_t>(wav.size())});
  }
  WriteFile(dir / "audio.zip", BuildZip(layout));
  std::map<std::string, std::string> files;
  EXPECT_EQ(ExtractAll(dir / "audio.zip", "", &files), std::vector<std::string>{});
  EXPECT_EQ(Digest(files), Digest(originals));
}

// Damaged streams fail with a clear message, never by reading or writing out of bounds.
struct THostileCase {
  const char* Name;
  std::uint16_t Method, Flags;
  std::string Data;
  std::uint64_t Size;
  const char* Message;  // what() begins with this
};

void PrintTo(const THostileCase& c, std::ostream* os) { *os << c.Name; }

class HostileStream : public ::testing::TestWithParam<THostileCase> {};

TEST_P(HostileStream, FailsWithItsMessage) {
  const THostileCase& c = GetParam();
  try {
    DecodeRaw(c.Method, c.Flags, c.Data, c.Size);
    FAIL() << "decoded";
  } catch (const core::Exception& e) {
    EXPECT_EQ(std::string(e.what()).substr(0, std::strlen(c.Message)), c.Message);
  }
}

namespace {

const std::string kDamaged = "Cannot extract file - damaged compressed data (";

// 255 empty follower sets, then the set of byte 0 with three followers.
std::string ReduceWithIndexPastTheSet() {
  TBitWriter w;
  for (int i = 255; i > 0; --i) w.Put(0, 6);
  w.Put(3, 6).Bytes('a', 3);
  return w.Put(0, 1).Put(3, 2).Bytes(0, 4).Done();  // "use the set", index 3 of 3
}

// A compressed Shannon-Fano tree: (count, length) runs.
TBitWriter& Tree(TBitWriter& w, std::initializer_list<std::pair<int, int>> runs) {
  w.Put(static_cast<std::uint32_t>(runs.size() - 1), 8);
  for (auto [count, length] : runs) w.Put(static_cast<std::uint32_t>((count - 1) << 4 | (length - 1)), 8);
  return w;
}

std::string ExplodeWithAMissingCode() {
  // 64 codes of 7 bits fill half the code space; a distance code starting with 1 is none.
  TBitWriter w;
  Tree(w, {{16, 7}, {16, 7}, {16, 7}, {16, 7}});
  Tree(w, {{16, 7}, {16, 7}, {16, 7}, {16, 7}});
  return w.Put(0, 1).Put(0, 6).Put(1, 1).Bytes(0xFF, 8).Done();
}

std::string LzmaHeader(std::uint8_t propsSize, std::uint32_t dictionary) {
  std::string h = {'\x09', '\x14', static_cast<char>(propsSize), '\0', '\x5d'};
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>(dictionary >> (8 * i)));
  return h + std::string(16, '\0');
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Methods, HostileStream,
    ::testing::Values(
        THostileCase{"ShrinkFirstCodeNotAByte", 1, 0, TBitWriter().Put(300, 9).Bytes(0, 4).Done(), 100,
                     "Cannot extract file - damaged compressed data (LZW code out of range)"},
        THostileCase{"ShrinkUnknownControlCode", 1, 0, TBitWriter().Put('a', 9).Put(256, 9).Put(7, 9).Bytes(0, 4).Done(),
                     100, "Cannot extract file - damaged compressed data (LZW control code out of range)"},
        THostileCase{"ShrinkCodesWiderThanThirteenBits", 1, 0,
                     TBitWriter().Put('a', 9).Put(256, 9).Put(1, 9).Put(256, 10).Put(1, 10).Put(256, 11).Put(1, 11)
                         .Put(256, 12).Put(1, 12).Put(256, 13).Put(1, 13).Bytes(0, 4).Done(),
                     100, "Cannot extract file - damaged compressed data (LZW control code out of range)"},
        THostileCase{"ShrinkUndefinedPrefixChain", 1, 0,
                     // 'a', then code 400 (not defined: "aa" at 257), then 300 (not defined,
                     // previous 400 has no string)
                     TBitWriter().Put('a', 9).Put(400, 9).Put(300, 9).Bytes(0, 4).Done(), 100,
                     "Cannot extract file - damaged compressed data (LZW code out of range)"},
        THostileCase{"ReduceFollowerSetTooLarge", 2, 0, TBitWriter().Put(33, 6).Bytes(0, 40).Done(), 100,
                     "Cannot extract file - damaged compressed data (follower set too large)"},
        THostileCase{"ReduceIndexPastTheSet", 5, 0, ReduceWithIndexPastTheSet(), 100,
                     "Cannot extract file - damaged compressed data (follower index out of range)"},
        THostileCase{"ExplodeTreeTooLarge", 6, 0,
                     [] { TBitWriter w; Tree(w, {{16, 6}, {16, 6}, {16, 6}, {16, 6}, {16, 6}}); return w.Bytes(0, 8).Done(); }(),
                     100, "Cannot extract file - damaged compressed data (Shannon-Fano tree too large)"},
        THostileCase{"ExplodeTreeIncomplete", 6, 0, [] { TBitWriter w; Tree(w, {{16, 6}}); return w.Bytes(0, 8).Done(); }(),
                     100, "Cannot extract file - damaged compressed data (Shannon-Fano tree incomplete)"},
        THostileCase{"ExplodeTreeOverFull", 6, 6,
                     [] { TBitWriter w; Tree(w, {{16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}, {16, 1}}); return w.Bytes(0, 8).Done(); }(),
                     100, "Cannot extract file - damaged compressed data (Shannon-Fano tree over-full)"},
        THostileCase{"ExplodeCodeNotInTree", 6, 0, ExplodeWithAMissingCode(), 100,
                     "Cannot extract file - damaged compressed data (code not in Shannon-Fano tree)"},
        THostileCase{"LzmaPropertiesOfAnotherSize", 14, 0, LzmaHeader(4, 1 << 16), 100, "LZMA \"Unsupported\" Error."},
        THostileCase{"LzmaDictionaryBeyondTheBudget", 14, 0, LzmaHeader(5, 0xFFFFFFFFu), kLzmaDictionaryBudget + 1,
                     "LZMA Memory Error."},
        THostileCase{"LzmaHeaderCutShort", 14, 0, std::string("\x09\x14\x05", 3), 100, "Stream read error"},
        THostileCase{"Bzip2WrongSignature", 12, 0, "BZx9" + std::string(40, 'q'), 100, "error -5"},
        THostileCase{"Bzip2DamagedBlock", 12, 0, "BZh91AY&SY" + std::string(40, '\x55'), 100, "error -4"},
        THostileCase{"Bzip2CutShort", 12, 0, "BZh9", 100, "Stream read error"},
        THostileCase{"WavPackNotWavPack", 97, 0, std::string(64, 'w'), 100, "WavPack decompression failed: "}),
    [](const auto& info) { return std::string(info.param.Name); });

// Cut short, LZMA gives what it has without a failure of its own (the CRC check reports
// the entry); bzip2 leaves the copy short, which is the stream read error.
TEST(PeerArchives, LzmaCutShortGivesAPrefix) {
  const std::string sevenZip = SevenZip();
  if (sevenZip.empty()) GTEST_SKIP() << "7z missing";
  TTempDir dir;
  std::string text;
  for (int i = 0; text.size() < 200000; ++i) text += std::to_string(i * 7919 % 1000) + " ";
  WriteText(dir / "t.txt", text);
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && " + sevenZip + " a -tzip -mm=LZMA t.zip t.txt >/dev/null"), 0);
  std::string zip = ReadText(dir / "t.zip");
  // The entry's data follows its 30-byte local header and the 5-byte name.
  const std::size_t dataStart = 30 + 5 + static_cast<unsigned char>(zip[28]);
  std::string data = zip.substr(dataStart, 400);
  std::string out = DecodeRaw(14, 0, data, text.size());
  EXPECT_GT(out.size(), 0u);
  EXPECT_LT(out.size(), text.size());
  EXPECT_EQ(out, text.substr(0, out.size()));
}

// The window keeps the last four chunks and the one being filled readable, reads at most
// 32 KiB at a time, refuses older positions and writes away from the end, and hands
// everything on in order.
TEST(SlidingWindow, KeepsTheRecentChunksAndRefusesTheRest) {
  std::string pattern(50000, '\0');
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i * 7 + i / 251);
  core::TMemoryStream sink;
  TvmSlidingWindowStream window(sink);
  for (std::size_t at = 0; at < pattern.size(); at += 3000)
    window.WriteBuffer(pattern.data() + at, std::min<std::size_t>(3000, pattern.size() - at));
  const std::int64_t oldest = 50000 - (4 * 8192 + 50000 % 8192);
  EXPECT_EQ(window.Seek(oldest, core::TSeekOrigin::soBeginning), oldest);
  std::string back(40000, '\0');
  EXPECT_EQ(window.Read(back.data(), back.size()), 32768u);
  EXPECT_EQ(back.substr(0, 32768), pattern.substr(static_cast<std::size_t>(oldest), 32768));
  EXPECT_EQ(window.Read(back.data(), back.size()), static_cast<std::size_t>(50000 - oldest - 32768));
  EXPECT_EQ(window.Read(back.data(), back.size()), 0u);
  window.Seek(-10, core::TSeekOrigin::soEnd);
  auto message = [](auto&& f) {
    try {
      f();
    } catch (const core::Exception& e) {
      return std::string(e.what());
    }
    return std::string("no failure");
  };
  EXPECT_EQ(message([&] { window.WriteBuffer("x", 1); }), "TvmSlidingWindowStream.Write: Not at end of stream");
  EXPECT_EQ(message([&] { window.Seek(oldest - 1, core::TSeekOrigin::soBeginning); }),
            "TvmSlidingWindowStream.Seek: invalid new position");
  EXPECT_EQ(message([&] { window.Seek(1, core::TSeekOrigin::soEnd); }), "TvmSlidingWindowStream.Seek: invalid new position");
  window.Seek(0, core::TSeekOrigin::soEnd);
  window.Flush();
  EXPECT_EQ(sink.DataString(), pattern);
}
