// The native errno values of the BSD socket interface read as the Windows numbers.
#include <gtest/gtest.h>

#include <cerrno>

#include "net/net_socket_errors.h"

namespace tarvo::net {
namespace {

TEST(Stack, NativeErrorsReadAsTheWindowsNumbers) {
  const struct {
    int Errno;
    int Code;
  } cases[] = {{ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {EPIPE, 10054},      {ETIMEDOUT, 10060},
               {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051}, {EADDRINUSE, 10048}, {EWOULDBLOCK, 10035}};
  for (const auto& c : cases) EXPECT_EQ(NetErrnoToSocketError(c.Errno), c.Code) << c.Errno;
}

}  // namespace
}  // namespace tarvo::net
