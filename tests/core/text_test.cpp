// The text helpers every library shares: which characters each trim removes, and what a
// port is. A copy that drifts from these is the fault they guard against.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/port_text.h"
#include "core/text_trim.h"

namespace tarvo::core {
namespace {

using namespace std::string_view_literals;

TEST(Text, TrimsRemoveTheirOwnSetFromTheirOwnEnds) {
  struct TCase {
    std::string_view Text, Trim, TrimRight, TrimBlanks, TrimRightBlanks;
  };
  const TCase cases[] = {
      {"", "", "", "", ""},
      {" \t ", "", "", "", ""},
      {" a b ", "a b", " a b", "a b", " a b"},
      {"\ta\t", "a", "\ta", "a", "\ta"},
      // A control character or CR is a blank only for protocol text.
      {"\r\x01 a \x1f\r", "a", "\r\x01 a", "\r\x01 a \x1f\r", "\r\x01 a \x1f\r"},
      {" \ra\n ", "a", " \ra", "\ra\n", " \ra\n"},
      // NUL is a control character; bytes above 127 are never blanks.
      {"\0x\0"sv, "x", "\0x"sv, "\0x\0"sv, "\0x\0"sv},
      {"\xa0z\xa0", "\xa0z\xa0", "\xa0z\xa0", "\xa0z\xa0", "\xa0z\xa0"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Trim(c.Text), c.Trim) << c.Text;
    EXPECT_EQ(TrimRight(c.Text), c.TrimRight) << c.Text;
    EXPECT_EQ(TrimBlanks(c.Text), c.TrimBlanks) << c.Text;
    EXPECT_EQ(TrimRightBlanks(c.Text), c.TrimRightBlanks) << c.Text;
  }
}

TEST(Text, APortIsOneTo65535InDecimalDigitsOnly) {
  const std::pair<std::string_view, std::optional<std::uint16_t>> cases[] = {
      {"80", 80},          {"1", 1},          {"65535", 65535},    {"0080", 80},
      {"000000000000443", 443},              {"", std::nullopt},  {"0", std::nullopt},
      {"00", std::nullopt}, {"65536", std::nullopt},               {"4294967377", std::nullopt},
      {"99999999999999999999", std::nullopt}, {"+80", std::nullopt}, {"-1", std::nullopt},
      {" 80", std::nullopt}, {"80 ", std::nullopt}, {"8 0", std::nullopt}, {"80a", std::nullopt},
      {"0x50", std::nullopt}, {"８０", std::nullopt}, {"80\0"sv, std::nullopt},
  };
  for (const auto& [text, port] : cases) EXPECT_EQ(ParsePort(text), port) << text;
  static_assert(ParsePort("8080") == 8080);
}

}  // namespace
}  // namespace tarvo::core
