// The byte buffer against a plain model: whatever the order of appends, searches and
// removals, the live bytes are the ones a simple queue would hold.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "core/memory_stream.h"
#include "net/net_buffer.h"
#include "net/net_exception.h"

namespace tarvo::net {
namespace {

TEST(NetBuffer, BehavesLikeAQueueUnderRandomOperations) {
  std::mt19937 rng(1234);
  TNetBuffer buffer;
  buffer.SetGrowthFactor(64);
  std::deque<std::uint8_t> model;
  long long removedReported = 0, removedModel = 0;
  buffer.OnBytesRemoved = [&](TNetBuffer*, int n) { removedReported += n; };
  for (int step = 0; step < 5000; ++step) {
    int op = static_cast<int>(rng() % 4);
    if (op == 0 || model.empty()) {
      TNetBytes chunk(rng() % 300);
      for (auto& b : chunk) b = static_cast<std::uint8_t>(rng() % 4);
      buffer.Write(chunk);
      model.insert(model.end(), chunk.begin(), chunk.end());
    } else if (op == 1) {
      int n = static_cast<int>(rng() % (model.size() + 1));
      TNetBytes out;
      buffer.ExtractToBytes(out, n);
      ASSERT_EQ(out, TNetBytes(model.begin(), model.begin() + n));
      model.erase(model.begin(), model.begin() + n);
      removedModel += n;
    } else if (op == 2) {
      TNetBytes pattern{static_cast<std::uint8_t>(rng() % 4), static_cast<std::uint8_t>(rng() % 4)};
      int start = static_cast<int>(rng() % model.size());
      int expected = -1;
      for (std::size_t i = static_cast<std::size_t>(start); i + 1 < model.size(); ++i)
        if (model[i] == pattern[0] && model[i + 1] == pattern[1]) {
          expected = static_cast<int>(i);
          break;
        }
      ASSERT_EQ(buffer.IndexOf(pattern, start), expected);
    } else {
      int n = static_cast<int>(rng() % (model.size() + 1));
      buffer.Remove(n);
      model.erase(model.begin(), model.begin() + n);
      removedModel += n;
    }
    ASSERT_EQ(buffer.Size(), static_cast<int>(model.size()));
    ASSERT_LE(buffer.Size(), buffer.Capacity());
  }
  EXPECT_EQ(removedReported, removedModel);
}

TEST(NetBuffer, ReportsMisuseWithItsMessages) {
  TNetBuffer buffer;
  EXPECT_EQ(buffer.IndexOf(TNetBytes{1}), -1);  // empty buffer: no search at all
  buffer.Write("abc");
  try {
    TNetBytes out;
    buffer.ExtractToBytes(out, 5);
    FAIL();
  } catch (const ENetNotEnoughDataInBuffer& e) {
    EXPECT_EQ(e.Message(), "Not enough data in buffer. (5/3)");
  }
  auto message = [&](auto fn) {
    try {
      fn();
    } catch (const ENetException& e) {
      return e.Message();
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { buffer.IndexOf(TNetBytes{}); }), "Buffer terminator must be specified.");
  EXPECT_EQ(message([&] { buffer.IndexOf(TNetBytes{'a'}, 3); }), "Buffer start position is invalid.");
  EXPECT_EQ(message([&] { buffer.IndexOf(TNetBytes{'a'}, -1); }), "Buffer start position is invalid.");
  EXPECT_EQ(message([&] { buffer.PeekByte(3); }), "Index out of bounds.");
  EXPECT_EQ(message([&] { buffer.SetCapacity(2); }), "Capacity cannot be smaller than Size");
  EXPECT_EQ(buffer.PeekByte(2), 'c');
  buffer.Clear();
  EXPECT_EQ(message([&] { buffer.PeekByte(0); }), "No bytes in buffer.");
}

TEST(NetBuffer, StreamAppendsTakeTheDocumentedRanges) {
  core::TMemoryStream stream(TNetBytes{'0', '1', '2', '3', '4'});
  TNetBuffer buffer;
  stream.SetPosition(3);
  buffer.Write(stream, 0);  // whole stream from the start
  EXPECT_EQ(buffer.ExtractToString(), "01234");
  stream.SetPosition(1);
  buffer.Write(stream, 10);  // at most what remains
  EXPECT_EQ(buffer.ExtractToString(), "1234");
  stream.SetPosition(2);
  buffer.Write(stream, -1);
  EXPECT_EQ(buffer.ExtractToString(), "234");
}

}  // namespace
}  // namespace tarvo::net
