// Hand-built streams, a field per call: the edge cases of the format and the damaged
// streams that must be refused without touching memory outside the decoder's buffers.
#include <gtest/gtest.h>

#include "test_support.h"

namespace tarvo::unzip::test {
namespace {

constexpr std::uint32_t kDeflate64 = 15 | dfc_Deflate64;

// A dynamic block whose code-length code gives all 19 symbols 5 bits (symbol s is the
// code s), so the literal/length and distance lengths can be written one symbol each.
BitWriter& DynamicHeader(BitWriter& w, bool final, int hlit, int hdist) {
  w.Header(final, 2);
  w.Bits(hlit - 257, 5);   // HLIT
  w.Bits(hdist - 1, 5);    // HDIST
  w.Bits(19 - 4, 4);       // HCLEN: all 19 code-length code lengths follow
  for (int i = 0; i < 19; ++i) w.Bits(5, 3);
  return w;
}

// Writes lengths as code-length symbols 0..15, one per length.
void PutLengths(BitWriter& w, const std::vector<int>& lengths) {
  for (int l : lengths) w.Code(l, 5);
}

std::vector<int> LitLenLengths(int hlit, std::initializer_list<std::pair<int, int>> set) {
  std::vector<int> lengths(hlit, 0);
  for (auto [symbol, length] : set) lengths[symbol] = length;
  return lengths;
}

TEST(HostileStreams, EmptyStoredFinalBlockEndsDecoding) {
  const Bytes input = BitWriter().Stored(true, {}).Take();
  const InflateResult r = RunInflate(input);
  EXPECT_TRUE(r.Output.empty());
  EXPECT_EQ(r.Checksum, 0u);
}

TEST(HostileStreams, StoredBlocksAroundCodedOnes) {
  BitWriter w;
  w.Stored(false, {'a', 'b', 'c'});
  w.Header(false, 1).FixedLit('d').FixedLit(256);   // fixed block, ends unaligned
  w.Stored(false, {});                                // empty stored block in between
  w.Stored(true, {'e', 'f'});
  EXPECT_EQ(RunInflate(w.Take()).Output, (Bytes{'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST(HostileStreams, DistanceOneLength258RepeatsTheLastByte) {
  BitWriter w;
  w.Header(true, 1).FixedLit('x').FixedLit(285).FixedDist(0).FixedLit(256);
  const InflateResult r = RunInflate(w.Take());
  EXPECT_EQ(r.Output, Bytes(259, 'x'));
}

TEST(HostileStreams, Deflate64LengthSymbol285Reaches65538) {
  BitWriter w;
  w.Header(true, 1).FixedLit('y').FixedLit(285).Bits(0xFFFF, 16).FixedDist(0).FixedLit(256);
  EXPECT_EQ(RunInflate(w.Take(), kDeflate64).Output, Bytes(65539, 'y'));
  // The same bits in Deflate: 285 is length 258 with no extra bits, so the 16 bits that
  // follow are read as codes and the stream does not decode to the same thing.
  BitWriter d;
  d.Header(true, 1).FixedLit('y').FixedLit(285).FixedDist(0).FixedLit(256);
  EXPECT_EQ(RunInflate(d.Take()).Output.size(), 259u);
}

TEST(HostileStreams, FixedBlockForbiddenSymbols) {
  for (int symbol : {286, 287}) {
    BitWriter w;
    w.Header(true, 1).FixedLit('a').FixedLit(symbol).FixedDist(0).FixedLit(256);
    EXPECT_EQ(InflateFailure(w.Take()), "decoded an invalid length symbol: greater than 285 [DecodeData]");
  }
  for (int symbol : {30, 31}) {
    BitWriter w;
    w.Header(true, 1).FixedLit('a').FixedLit(257).FixedDist(symbol).Bits(0, 14).FixedLit(256);
    EXPECT_EQ(InflateFailure(w.Take()), "decoded an invalid distance symbol: greater than 29 [DecodeData]");
  }
}

TEST(HostileStreams, Deflate64FarDistanceSymbolsDecode) {
  // 40,000 stored bytes, then matches with distance symbols 30 (32,769 + extra) and 31.
  Bytes history(40000);
  for (std::size_t i = 0; i < history.size(); ++i) history[i] = static_cast<std::uint8_t>(i * 131 + i / 256);
  BitWriter w;
  w.Stored(false, history);
  w.Header(true, 1);
  w.FixedLit(257).FixedDist(30).Bits(100, 14);   // length 3, distance 32,869
  w.FixedLit(258).FixedDist(31).Bits(0, 14);     // length 4, distance 49,153: too far
  w.FixedLit(256);
  EXPECT_EQ(InflateFailure(w.Take(), kDeflate64),
            "decoded a distance that reaches before the start of the output [DecodeData]");

  BitWriter ok;
  ok.Stored(false, history);
  ok.Header(true, 1).FixedLit(257).FixedDist(30).Bits(100, 14).FixedLit(256);
  const InflateResult r = RunInflate(ok.Take(), kDeflate64);
  ASSERT_EQ(r.Output.size(), 40003u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(r.Output[40000 + i], history[40000 - 32869 + i]);
}

TEST(HostileStreams, DistanceBeforeTheFirstByteIsRefused) {
  const std::string refused = "decoded a distance that reaches before the start of the output [DecodeData]";
  BitWriter w;
  w.Header(true, 1).FixedLit('a').FixedLit(257).FixedDist(1).FixedLit(256);  // distance 2, one byte out
  BitWriter first;
  first.Header(true, 1).FixedLit(257).FixedDist(0).FixedLit(256);  // a match before any byte
  BitWriter exact;
  exact.Header(true, 1).FixedLit('a').FixedLit('b').FixedLit(257).FixedDist(1).FixedLit(256);
  const Bytes far = w.Take(), before = first.Take(), reaches = exact.Take();
  // Alone these decode near the end of the input; with bytes after them (ignored) on the
  // fast path, whose window buffer may still hold an earlier stream's bytes.
  RunInflate(ZlibDeflate(Bytes(70000, 'z'), 6));  // leaves bytes in the window buffer reused next
  for (std::size_t pad : {0, 64}) {
    auto padded = [pad](Bytes b) {
      b.resize(b.size() + pad, 0xA5);
      return b;
    };
    EXPECT_EQ(InflateFailure(padded(far)), refused) << pad;
    EXPECT_EQ(InflateFailure(padded(before)), refused) << pad;
    EXPECT_EQ(RunInflate(padded(reaches)).Output, (Bytes{'a', 'b', 'a', 'b', 'a'})) << pad;
  }
}

TEST(HostileStreams, ThirtyOneDistanceCodesOnlyInDeflate64) {
  BitWriter w;
  DynamicHeader(w, true, 257, 31);
  PutLengths(w, LitLenLengths(257, {{'A', 1}, {256, 1}}));
  std::vector<int> dist(31, 0);
  dist[30] = 1;
  PutLengths(w, dist);
  w.Code(0, 1).Code(0, 1).Code(1, 1);  // 'A' 'A' end of block
  const Bytes input = w.Take();
  EXPECT_EQ(InflateFailure(input), "count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]");
  EXPECT_EQ(RunInflate(input, kDeflate64).Output, (Bytes{'A', 'A'}));
}

TEST(HostileStreams, DynamicHeaderLimits) {
  BitWriter w;
  DynamicHeader(w, true, 287, 1);
  EXPECT_EQ(InflateFailure(w.Take()), "count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]");
  BitWriter b;
  DynamicHeader(b, true, 257, 33 - 1);  // 32 is the most the field can say
  EXPECT_EQ(InflateFailure(b.Take()), "count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]");
}

TEST(HostileStreams, RepeatCodesAreChecked) {
  BitWriter first;
  DynamicHeader(first, true, 257, 1);
  first.Code(16, 5).Bits(0, 2);  // repeat the previous length, but there is none
  EXPECT_EQ(InflateFailure(first.Take()), "repeat code 16 with no previous code length {ReadLitDistCodeLengths}");

  for (int symbol : {16, 17, 18}) {
    BitWriter past;
    DynamicHeader(past, true, 257, 1);
    PutLengths(past, std::vector<int>(256, 8));
    past.Code(symbol, 5).Bits(0, symbol == 16 ? 2 : symbol == 17 ? 3 : 7);  // 3 or 11 more: 2 left
    EXPECT_EQ(InflateFailure(past.Take()), "a repeat runs past the end of the code lengths {ReadLitDistCodeLengths}")
        << symbol;
  }

  // A repeat may run from the literal/length lengths into the distance lengths.
  BitWriter across;
  DynamicHeader(across, true, 257, 2);
  std::vector<int> lengths = LitLenLengths(255, {{'A', 2}});
  lengths[254] = 2;
  PutLengths(across, lengths);
  across.Code(16, 5).Bits(0, 2);  // symbols 255, 256 and distance 0 get length 2 as well
  across.Code(2, 5);              // distance 1: length 2
  const auto codes = CanonicalCodes({2, 2, 2, 2});  // 'A', 254, 255, 256 in symbol order
  across.Code(codes[0], 2).Code(codes[2], 2).Code(codes[1], 2).Code(codes[3], 2);
  EXPECT_EQ(RunInflate(across.Take()).Output, (Bytes{'A', 255, 254}));
}

// The code lengths are read straight from the bit buffer while enough input follows, and
// with every bit checked near the end of the input. Each fault must read the same either
// way: alone, the stream ends within the lengths; with bytes after it (ignored once the
// final block ends), the lengths are read on the fast path.
TEST(HostileStreams, CodeLengthFaultsReadTheSameWithInputBehind) {
  struct Case {
    const char* What;
    Bytes Stream;
    const char* Cause;  // nullptr: decodes to Output
    Bytes Output;
  };
  std::vector<Case> cases;
  {
    BitWriter w;
    DynamicHeader(w, true, 257, 1);
    w.Code(16, 5).Bits(0, 2);
    cases.push_back(
        {"repeat first", w.Take(), "repeat code 16 with no previous code length {ReadLitDistCodeLengths}", {}});
  }
  for (int symbol : {16, 17, 18}) {
    BitWriter w;
    DynamicHeader(w, true, 257, 1);
    PutLengths(w, std::vector<int>(256, 8));
    w.Code(symbol, 5).Bits(0, symbol == 16 ? 2 : symbol == 17 ? 3 : 7);
    cases.push_back({"repeat past the end", w.Take(),
                     "a repeat runs past the end of the code lengths {ReadLitDistCodeLengths}", {}});
  }
  {
    BitWriter w;
    w.Header(true, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4);
    w.Bits(0, 3).Bits(0, 3).Bits(0, 3).Bits(1, 3);  // one code-length code of one bit
    for (int i = 0; i < 40; ++i) w.Code(0, 1);        // symbol 0: unused, forty times
    w.Code(1, 1);                                     // a pattern no code reaches
    cases.push_back({"unreached code-length pattern", w.Take(),
                     "decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}", {}});
  }
  {
    // Every kind of code-length symbol, then a block that decodes.
    BitWriter w;
    DynamicHeader(w, true, 257, 2);
    w.Code(18, 5).Bits(65 - 11, 7);  // 0..64: unused
    w.Code(2, 5);                    // 'A'
    w.Code(17, 5).Bits(7, 3);        // 66..75: unused
    w.Code(18, 5).Bits(127, 7);      // 76..213
    w.Code(18, 5).Bits(29, 7);       // 214..253
    w.Code(2, 5).Code(16, 5).Bits(0, 2);  // 254..257: 254, 255, 256 and distance 0 of length 2
    w.Code(2, 5);                         // distance 1
    const auto codes = CanonicalCodes({2, 2, 2, 2});  // 'A', 254, 255, 256
    w.Code(codes[0], 2).Code(codes[1], 2).Code(codes[3], 2);
    cases.push_back({"every repeat kind", w.Take(), nullptr, {'A', 254}});
  }
  for (const Case& c : cases) {
    Bytes padded = c.Stream;
    padded.resize(padded.size() + 64, 0x5A);
    for (const Bytes& input : {c.Stream, padded}) {
      if (c.Cause)
        EXPECT_EQ(InflateFailure(input), c.Cause) << c.What << ", " << input.size() << " bytes";
      else
        EXPECT_EQ(RunInflate(input).Output, c.Output) << c.What << ", " << input.size() << " bytes";
    }
  }
}

TEST(HostileStreams, UnreachedCodePatternsAreRefused) {
  // Code-length code with one symbol of one bit: the pattern 1 reaches nothing.
  BitWriter cl;
  cl.Header(true, 2).Bits(0, 5).Bits(0, 5).Bits(0, 4);
  cl.Bits(0, 3).Bits(0, 3).Bits(0, 3).Bits(1, 3);  // lengths of 16, 17, 18: 0; of 0: 1
  cl.Code(1, 1);
  EXPECT_EQ(InflateFailure(cl.Take()), "decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}");

  // Literal/length code 'A' = 0, end of block = 10; the pattern 11 reaches nothing.
  BitWriter ll;
  DynamicHeader(ll, true, 257, 1);
  PutLengths(ll, LitLenLengths(257, {{'A', 1}, {256, 2}}));
  PutLengths(ll, {0});
  ll.Code(0, 1).Code(3, 2);
  EXPECT_EQ(InflateFailure(ll.Take()), "decoded an invalid length symbol: greater than 285 [DecodeData]");

  // A block with no distance codes may still hold literals, but not a match.
  BitWriter nd;
  DynamicHeader(nd, true, 258, 1);
  PutLengths(nd, LitLenLengths(258, {{'A', 1}, {256, 2}, {257, 2}}));
  PutLengths(nd, {0});
  nd.Code(0, 1).Code(3, 2).Code(0, 1);
  EXPECT_EQ(InflateFailure(nd.Take()), "decoded an invalid distance symbol: greater than 29 [DecodeData]");
}

TEST(HostileStreams, OverSubscribedCodesAreRefusedIncompleteOnesDecode) {
  const std::string refused = "more codes than their lengths allow (over-subscribed) [TVmDfDecodeHuffmanTree.Build]";
  struct Case {
    const char* What;
    std::vector<int> LitLen, Dist;
    bool Refused;
  };
  const Case cases[] = {
      {"three one-bit literal/length codes", LitLenLengths(257, {{'A', 1}, {'B', 1}, {256, 1}}), {0}, true},
      {"three one-bit distance codes", LitLenLengths(257, {{'A', 1}, {256, 1}}), {1, 1, 1}, true},
      {"one distance code (incomplete)", LitLenLengths(257, {{'A', 1}, {256, 1}}), {1}, false},
      {"no distance code", LitLenLengths(257, {{'A', 1}, {256, 1}}), {0}, false},
      {"incomplete literal/length code", LitLenLengths(257, {{'A', 1}, {256, 2}}), {0}, false},
  };
  for (const Case& c : cases) {
    BitWriter w;
    DynamicHeader(w, true, 257, static_cast<int>(c.Dist.size()));
    PutLengths(w, c.LitLen);
    PutLengths(w, c.Dist);
    w.Code(0, 1).Code(c.LitLen[256] == 1 ? 1 : 2, c.LitLen[256]);  // 'A', end of block
    if (c.Refused)
      EXPECT_EQ(InflateFailure(w.Take()), refused) << c.What;
    else
      EXPECT_EQ(RunInflate(w.Take()).Output, (Bytes{'A'})) << c.What;
  }
  // The code-length code: 19 symbols of 4 bits do not fit in 16 patterns.
  BitWriter cl;
  cl.Header(true, 2).Bits(0, 5).Bits(0, 5).Bits(19 - 4, 4);
  for (int i = 0; i < 19; ++i) cl.Bits(4, 3);
  EXPECT_EQ(InflateFailure(cl.Take()), refused);
}

TEST(HostileStreams, CodeLengthAboveFifteenCannotBeWritten) {
  // Code-length symbols only say 0..15, so the longest code is 15 bits; a 15-bit code set
  // (the deepest canonical tree) must decode through the subtables.
  std::vector<int> lengths(257, 0);
  for (int i = 0; i < 15; ++i) lengths['a' + i] = i + 1;
  lengths[256] = 15;
  BitWriter w;
  DynamicHeader(w, true, 257, 1);
  PutLengths(w, lengths);
  PutLengths(w, {0});
  const auto codes = CanonicalCodes(lengths);
  Bytes expected;
  for (int i = 14; i >= 0; --i) {
    w.Code(codes['a' + i], lengths['a' + i]);
    expected.push_back(static_cast<std::uint8_t>('a' + i));
  }
  w.Code(codes[256], 15);
  EXPECT_EQ(RunInflate(w.Take()).Output, expected);
}

TEST(HostileStreams, BlockTypeThreeAndStoredLengthMismatch) {
  EXPECT_EQ(InflateFailure(BitWriter().Header(true, 3).Take()), "starting new block, but invalid block type [Inflate]");
  BitWriter s;
  s.Header(true, 0).Align().Bits(3, 16).Bits(0xFFFB, 16).Byte(1).Byte(2).Byte(3);
  EXPECT_EQ(InflateFailure(s.Take()),
            "invalid stored block (length and NOT length do not match) [InflateStoredBlock]");
}

TEST(HostileStreams, TruncationAtEveryByteIsAnErrorNeverACrash) {
  // Stored, fixed and dynamic blocks in one small stream: a stored block, a fixed block,
  // an empty stored block to realign, then zlib's dynamic final block.
  Bytes text;
  for (int i = 0; i < 60; ++i) text.insert(text.end(), {'t', 'a', 'r', 'v', 'o', static_cast<std::uint8_t>('0' + i % 10)});
  BitWriter join;
  join.Stored(false, {1, 2, 3, 4, 5});
  join.Header(false, 1).FixedLit('q').FixedLit(260).FixedDist(0).FixedLit(256);
  join.Stored(false, {});
  Bytes input = join.Take();
  const Bytes tail = ZlibDeflate(text, 9);
  input.insert(input.end(), tail.begin(), tail.end());

  Bytes expected = {1, 2, 3, 4, 5, 'q', 'q', 'q', 'q', 'q', 'q', 'q'};
  expected.insert(expected.end(), text.begin(), text.end());
  ASSERT_EQ(RunInflate(input).Output, expected);

  for (std::size_t cut = 0; cut < input.size(); ++cut) {
    const std::string cause = InflateFailure(Bytes(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_TRUE(cause.rfind("no more compressed data in stream [TVmDfInBitStream.", 0) == 0 ||
                cause.rfind("decoded an invalid", 0) == 0 || cause.rfind("decoded a symbol not", 0) == 0 ||
                cause.rfind("invalid stored block", 0) == 0 || cause.rfind("starting new block", 0) == 0)
        << "cut at " << cut << ": " << cause;
  }
  EXPECT_EQ(InflateFailure({}), "no more compressed data in stream [TVmDfInBitStream.ReadBit]");
  EXPECT_EQ(InflateFailure({0x01}), "no more compressed data in stream [TVmDfInBitStream.ReadBuffer]");
  EXPECT_EQ(InflateFailure({0x05}), "no more compressed data in stream [TVmDfInBitStream.ReadBits]");
}

TEST(HostileStreams, LongTruncatedStreamEndsWithAnError) {
  // The end of the input falls well inside the fast path's range of a large stream.
  Bytes data(400000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * i) >> 7);
  const Bytes packed = ZlibDeflate(data, 6);
  for (std::size_t cut : {packed.size() / 2, packed.size() - 100, packed.size() - 1}) {
    const std::string cause = InflateFailure(Bytes(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_NE(cause, "") << cut;
  }
}

}  // namespace
}  // namespace tarvo::unzip::test

namespace tarvo::unzip::test {
namespace {

// Length and distance codes of RFC 1951, 3.2.5, for writing matches by hand.
void PutMatch(BitWriter& w, int length, int distance) {
  static const int lbase[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115,
                              131, 163, 195, 227, 258};
  static const int lextra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static const int dbase[] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537,
                              2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  static const int dextra[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
  int l = 28;
  while (lbase[l] > length) --l;
  w.FixedLit(257 + l).Bits(length - lbase[l], lextra[l]);
  int d = 29;
  while (dbase[d] > distance) --d;
  w.FixedDist(d).Bits(distance - dbase[d], dextra[d]);
}

TEST(HostileStreams, OverlappingMatchesOfEveryShortDistanceAndLength) {
  // Every distance below 32 overlaps a long enough copy of itself; 32 and up do not.
  for (int dist = 1; dist <= 40; ++dist) {
    BitWriter w;
    w.Header(true, 1);
    Bytes expected;
    for (int i = 0; i < 40; ++i) {
      w.FixedLit('a' + i);
      expected.push_back(static_cast<std::uint8_t>('a' + i));
    }
    for (int length = 3; length <= 258; length += (length < 40 ? 1 : 17)) {
      PutMatch(w, length, dist);
      for (int i = 0; i < length; ++i) expected.push_back(expected[expected.size() - dist]);
      w.FixedLit('#');
      expected.push_back('#');
    }
    w.FixedLit(256);
    EXPECT_EQ(RunInflate(w.Take()).Output, expected) << "distance " << dist;
  }
}

}  // namespace
}  // namespace tarvo::unzip::test
