#include <poll.h>

#include <cerrno>
#include <iterator>
#include <vector>

#include "net/net_poll.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

namespace {

constexpr TNetPollBit kBits[] = {
    {NetPollIn, POLLIN}, {NetPollOut, POLLOUT}, {NetPollPri, POLLPRI},
    {NetPollError, POLLERR | POLLNVAL}, {NetPollHangUp, POLLHUP},
};
constexpr std::size_t kAsked = 3;  // the first three are asked for, the rest only found

}  // namespace

int NetPoll(TNetPollFd* fds, std::size_t count, int timeoutMS) {
  std::vector<pollfd> native(count);
  for (std::size_t i = 0; i < count; ++i) native[i] = pollfd{fds[i].Fd, NetPollToNative(fds[i].Events, kBits, kAsked), 0};
  const TNetDeadline deadline(timeoutMS);
  for (;;) {
    int rc = ::poll(native.data(), static_cast<nfds_t>(count), deadline.Remaining());
    if (rc >= 0) {
      for (std::size_t i = 0; i < count; ++i) fds[i].REvents = NetPollFromNative(native[i].revents, kBits, std::size(kBits));
      return rc;
    }
    if (errno != EINTR) RaiseSocketErrorCode(NetErrnoToSocketError(errno));
  }
}

}  // namespace tarvo::net
