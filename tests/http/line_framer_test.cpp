// The fed line framer against the I/O handler's own ReadLn as the oracle: for each input,
// limit and over-long action, the framer fed in pieces of every size yields the lines
// ReadLn yields, each ending at the same offset of the stream (what is left after a line is
// not the framer's to keep), and fails where ReadLn fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/line_framer.h"
#include "net/net_exception.h"
#include "net/net_io_handler_memory.h"

using namespace tarvo;
using namespace tarvo::http;

namespace {

struct TLineCase {
  const char* Name;
  std::string Bytes;
  int Limit;
  net::TNetMaxLineAction Action = net::maException;
};

const char* const kTooLong = "<too long>";
const char* const kEnd = "<end>";

std::vector<std::string> ByReadLn(const TLineCase& c) {
  net::TNetIOHandlerMemory io;
  io.SetMaxLineLength(c.Limit);
  io.SetMaxLineAction(c.Action);
  io.Open();
  io.QueueInput(c.Bytes);
  io.QueuePeerClose();
  std::vector<std::string> out;
  try {
    for (;;) {
      std::string line = io.ReadLn("\n");
      out.push_back(line + "@" + std::to_string(c.Bytes.size() - static_cast<std::size_t>(io.InputBuffer().Size())));
    }
  } catch (const net::ENetReadLnMaxLineLengthExceeded&) {
    out.push_back(kTooLong);
  } catch (const net::ENetConnClosedGracefully&) {
    out.push_back(kEnd);
  }
  return out;
}

std::vector<std::string> ByFramer(const TLineCase& c, std::size_t piece) {
  TNetLineFramer framer({c.Limit, c.Action, nullptr});
  std::vector<std::string> out;
  std::size_t offset = 0;  // bytes taken by the framer
  try {
    for (std::size_t at = 0; at <= c.Bytes.size(); at = offset) {
      std::string_view in = std::string_view(c.Bytes).substr(at, piece);
      for (std::size_t used = 0;; in.remove_prefix(used)) {
        std::optional<std::string> line = framer.Next(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), used);
        offset += used;
        if (!line) break;
        out.push_back(*line + "@" + std::to_string(offset));
      }
      if (at == c.Bytes.size()) break;
    }
  } catch (const net::ENetReadLnMaxLineLengthExceeded&) {
    out.push_back(kTooLong);
    return out;
  }
  out.push_back(kEnd);
  return out;
}

class LineFramer : public ::testing::TestWithParam<TLineCase> {};

TEST_P(LineFramer, YieldsWhatReadLnYieldsInPiecesOfEverySize) {
  const TLineCase& c = GetParam();
  std::vector<std::string> expected = ByReadLn(c);
  for (std::size_t piece = 1; piece <= c.Bytes.size() + 1; ++piece) {
    EXPECT_EQ(ByFramer(c, piece), expected) << "pieces of " << piece;
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineFramer,
    ::testing::Values(TLineCase{"CrLfLines", "a\r\nbc\r\n\r\n", 0}, TLineCase{"LfLines", "a\nb\n\n", 100},
                      TLineCase{"BareCrKept", "a\rb\r\n", 100}, TLineCase{"OnlyOneCrDropped", "a\r\r\n", 100},
                      TLineCase{"NulKept", std::string("a\0b\r\n", 5), 100},
                      TLineCase{"EightBitBytesDecoded", "caf\xC3\xA9\r\n", 100},
                      TLineCase{"PieceOfLineAtClose", "ab\r\ncd", 100}, TLineCase{"Nothing", "", 100},
                      TLineCase{"AtTheLimit", "ABCD\nEFG\r\n", 4}, TLineCase{"CrCountsToTheLimit", "ABCD\r\n", 4},
                      TLineCase{"OverTheLimitWithoutLineFeed", "ABCDEFGH", 4},
                      TLineCase{"LinesBeforeTheLongOne", "A\nB\nCDEFGH\n", 4},
                      TLineCase{"SplitIntoPieces", "ABCDEFGHIJ\r\nK\n", 4, net::maSplit},
                      TLineCase{"SplitBeforeTheCr", "ABCD\r\n", 4, net::maSplit},
                      TLineCase{"SplitAtClose", "ABCDEFGHIJ", 4, net::maSplit}),
    [](const ::testing::TestParamInfo<TLineCase>& info) { return std::string(info.param.Name); });

}  // namespace
