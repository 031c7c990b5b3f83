// Host-name rules, address texts and the socket error messages users read.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_host_name.h"
#include "net/net_ip_text.h"
#include "net/net_socket_errors.h"
#include "net/net_socket_list.h"
#include "net/net_stack.h"
#include "loopback_server.h"
#include "test_sockets.h"

namespace tarvo::net {
namespace {

struct TAddressCase {
  const char* Text;
  const char* Canonical;  // "" = not an address of that kind
};

class DottedQuad : public ::testing::TestWithParam<TAddressCase> {};

TEST_P(DottedQuad, IsIPAcceptsOnlyFourValuesInRange) {
  EXPECT_EQ(TNetStack::IsIP(GetParam().Text), *GetParam().Canonical != '\0') << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(Stack, DottedQuad,
                         ::testing::ValuesIn(std::vector<TAddressCase>{
                             {"10.0.0.1", "y"}, {"192.168.1.10", "y"}, {" 1. 2 .3.4 ", "y"}, {"10.0.0", ""},
                             {"10.0.0.1.5", ""}, {"1.2.3.4.", ""}, {"256.1.1.1", ""}, {"a.b.c.d", ""},
                             {"-1.2.3.4", ""}, {"", ""}}));

class IPv6Literal : public ::testing::TestWithParam<TAddressCase> {};

TEST_P(IPv6Literal, CanonicalText) {
  EXPECT_EQ(TNetStack::CanonicalIPv6Text(GetParam().Text), GetParam().Canonical) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(Stack, IPv6Literal,
                         ::testing::ValuesIn(std::vector<TAddressCase>{
                             {"::1", "0:0:0:0:0:0:0:1"},
                             {"fe80::1", "FE80:0:0:0:0:0:0:1"},
                             {"1::", "1:0:0:0:0:0:0:0"},
                             {"::", "0:0:0:0:0:0:0:0"},
                             {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8"},
                             {"::ffff:192.168.1.2", "0:0:0:0:0:FFFF:C0A8:102"},
                             {"0001:00ab::", "1:AB:0:0:0:0:0:0"},
                             {"1::2::3", ""},
                             {"1:2:3:4:5:6:7:8:9", ""},
                             {"1:2:3:4:5:6:7", ""},
                             {"12345::", ""},
                             {"g::1", ""},
                             {"1.2.3.4", ""},
                             {"::1.2.3.a", ""},
                             {"::1.2.3.400", ""},
                             {"1.2.3.4::", ""},
                             {"localhost", ""}}));

// Texts written by the C library (shortened runs, IPv4 tails) read back to the same bytes.
TEST(Stack, ReadsIPv6TextsTheCLibraryWrites) {
  const std::vector<std::array<std::uint8_t, 16>> addresses = {
      {},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 192, 168, 1, 2},
      {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x1A, 0x2B, 0xFF, 0xFE, 0x3C, 0x4D, 0x5E},
      {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
      {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1},
      {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& bytes : addresses) {
    char text[INET6_ADDRSTRLEN];
    ASSERT_NE(::inet_ntop(AF_INET6, bytes.data(), text, sizeof text), nullptr);
    std::uint16_t groups[8];
    ASSERT_TRUE(NetIPv6Groups(text, groups)) << text;
    for (int g = 0; g < 8; ++g) EXPECT_EQ(groups[g], (bytes[2 * g] << 8) | bytes[2 * g + 1]) << text;
    EXPECT_EQ(TNetStack::CanonicalIPv6Text(text), NetIPv6Text(bytes.data())) << text;
  }
}

TEST(Stack, ResolvesLocalhostAndLiteralsWithoutNameService) {
  TNetComponent user;  // keeps the stack alive
  TNetStack& stack = TNetStack::Get();
  EXPECT_EQ(stack.ResolveHost("LocalHost"), "127.0.0.1");
  EXPECT_EQ(stack.ResolveHost("192.168.1.10"), "192.168.1.10");
  EXPECT_EQ(stack.ResolveHost("::1", Net_IPv6), "0:0:0:0:0:0:0:1");
  EXPECT_THROW(stack.ResolveHost("x", static_cast<TNetIPVersion>(2)), ENetIPVersionUnsupported);
}

TEST(Stack, UnknownHostUnderReservedDomainIsHostNotFound) {
  TNetComponent user;
  for (const char* name : {"no-such-host.invalid", "x.INVALID.", "invalid"}) {
    try {
      TNetStack::Get().ResolveHost(name);
      FAIL() << name;
    } catch (const ENetSocketError& e) {
      EXPECT_EQ(e.LastError(), 11001);
      EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    }
  }
}

TEST(Stack, ErrorMessagesUseTheWindowsNumbers) {
  EXPECT_EQ(TranslateSocketErrorMsg(10061), "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(TranslateSocketErrorMsg(10066), "Socket Error # 10066\r\nDirectory not empty");
  // A code without a text still gives the two-line form, ending with the line break.
  EXPECT_EQ(TranslateSocketErrorMsg(11004), "Socket Error # 11004\r\n");
}

TEST(Stack, NotASocketIsCaughtAsSocketError) {
  try {
    RaiseSocketErrorCode(10038);
  } catch (const ENetSocketError& e) {
    EXPECT_NE(dynamic_cast<const ENetNotASocket*>(&e), nullptr);
    EXPECT_EQ(e.Message(), "Socket Error # 10038\r\nSocket operation on non-socket.");
    return;
  }
  FAIL();
}

TEST(Stack, LivesExactlyAsLongAsItsUsers) {
  int before = TNetStack::UserCount();
  {
    TNetComponent a;
    TNetStack* first = TNetStack::Instance();
    ASSERT_NE(first, nullptr);
    {
      TNetComponent b;
      EXPECT_EQ(TNetStack::Instance(), first);
    }
    EXPECT_EQ(TNetStack::Instance(), first);
  }
  EXPECT_EQ(TNetStack::UserCount(), before);
  if (before == 0) {
    EXPECT_EQ(TNetStack::Instance(), nullptr);
  }
  TNetComponent again;
  EXPECT_NE(TNetStack::Instance(), nullptr);
}

TEST(Stack, SocketListHoldsAtMost64) {
  TNetSocketList list;
  for (int i = 0; i < 64; ++i) list.Add(1000 + i);
  try {
    list.Add(2000);
    FAIL();
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_EQ(e.Message(), "Set Size Exceeded.");
  }
  EXPECT_EQ(list.Count(), 64);
}

}  // namespace
}  // namespace tarvo::net

namespace tarvo::net {
namespace {

TEST(Stack, InternationalNamesGoToTheNameServiceInASCII) {
  EXPECT_EQ(NetHostNameToASCII("example.org"), "example.org");
  EXPECT_EQ(NetHostNameToASCII("b\xC3\xBC" "cher.example"), "xn--bcher-kva.example");
  EXPECT_EQ(NetHostNameToASCII("\xE4\xBE\x8B\xE3\x81\x88.\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"), "xn--r8jz45g.xn--zckzah");
  EXPECT_THROW(NetHostNameToASCII("bad\xFF.example"), ENetSocketError);
  TNetComponent user;
  try {
    TNetStack::Get().ResolveHost("b\xC3\xBC" "cher.invalid");
    FAIL();
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
  }
}

}  // namespace
}  // namespace tarvo::net

namespace tarvo::net {
namespace {

#ifdef _WIN32
constexpr int kClosedHandleError = 10038;  // "Socket operation on non-socket."
#else
constexpr int kClosedHandleError = 10009;  // "Bad file number."
#endif

TEST(Stack, SocketOptionsAndNames) {
  TNetComponent user;
  TNetStack& stack = TNetStack::Get();
  TNetStackSocketHandle h = stack.NewSocketHandle(Net_SOCK_STREAM, 0, Net_IPv4);
  stack.SetKeepAliveValues(h, true, 30000, 5000);
  EXPECT_EQ(stack.GetSocketOption(h, Net_SOL_SOCKET, Net_SO_KEEPALIVE), 1);
  stack.SetKeepAliveValues(h, false, 0, 0);
  EXPECT_EQ(stack.GetSocketOption(h, Net_SOL_SOCKET, Net_SO_KEEPALIVE), 0);
  stack.Bind(h, "127.0.0.1", Net_IPv4, 0);
  std::string ip;
  std::uint16_t port = 0;
  TNetIPVersion version = Net_IPv6;
  stack.GetSocketName(h, ip, port, version);
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_NE(port, 0);
  EXPECT_EQ(version, Net_IPv4);
  stack.Disconnect(h);
  // The handle is gone now: using it is an error with the Windows number and text (a
  // closed descriptor on POSIX systems, no socket at all for Winsock).
  try {
    stack.GetSocketName(h, ip, port, version);
    FAIL();
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.LastError(), kClosedHandleError);
    EXPECT_EQ(e.Message(), TranslateSocketErrorMsg(kClosedHandleError));
    EXPECT_NE(e.Message().find("\r\n") + 2, e.Message().size());
  }
}

}  // namespace
}  // namespace tarvo::net

namespace tarvo::net {
namespace {

// The readability waits over the system's poll (poll, WSAPoll): nothing yet, data, and the
// peer's close, which counts as readable so that the receive reports it.
TEST(Stack, ReadabilityWaitsSeeDataAndTheClose) {
  testing::TLoopbackServer server([](testing::TPeer& peer) {
    peer.ReadUntil("go");
    peer.Send("x");
    peer.ReadUntil("bye");
  });
  TNetComponent user;
  TNetStack& stack = TNetStack::Get();
  TNetStackSocketHandle h = stack.NewSocketHandle(Net_SOCK_STREAM, 0, Net_IPv4);
  stack.Connect(h, "127.0.0.1", Net_IPv4, server.Port());
  TNetSocketList list;
  list.Add(h);
  EXPECT_FALSE(list.SelectRead(0));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(NetWaitReadable(h, 50));
  stack.Send(h, TNetBytes{'g', 'o'});
  list.Add(h);
  EXPECT_TRUE(list.SelectRead(5000));
  EXPECT_EQ(list.Count(), 1);
  TNetBytes one(1);
  EXPECT_EQ(stack.Receive(h, one), 1);
  EXPECT_EQ(one[0], 'x');
  stack.Send(h, TNetBytes{'b', 'y', 'e'});
  EXPECT_TRUE(NetWaitReadable(h, 5000));  // the script has ended: the server closed
  EXPECT_EQ(stack.Receive(h, one), 0);
  stack.Disconnect(h);
}

}  // namespace
}  // namespace tarvo::net
