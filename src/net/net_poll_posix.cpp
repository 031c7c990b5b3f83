#include <poll.h>

#include <cerrno>
#include <vector>

#include "net/net_poll.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

namespace {

short ToNative(short events) {
  short native = 0;
  if (events & NetPollIn) native |= POLLIN;
  if (events & NetPollOut) native |= POLLOUT;
  if (events & NetPollPri) native |= POLLPRI;
  return native;
}

short FromNative(short native) {
  short events = 0;
  if (native & POLLIN) events |= NetPollIn;
  if (native & POLLOUT) events |= NetPollOut;
  if (native & POLLPRI) events |= NetPollPri;
  if (native & (POLLERR | POLLNVAL)) events |= NetPollError;
  if (native & POLLHUP) events |= NetPollHangUp;
  return events;
}

}  // namespace

int NetPoll(TNetPollFd* fds, std::size_t count, int timeoutMS) {
  std::vector<pollfd> native(count);
  for (std::size_t i = 0; i < count; ++i) native[i] = pollfd{fds[i].Fd, ToNative(fds[i].Events), 0};
  const TNetDeadline deadline(timeoutMS);
  for (;;) {
    int rc = ::poll(native.data(), static_cast<nfds_t>(count), deadline.Remaining());
    if (rc >= 0) {
      for (std::size_t i = 0; i < count; ++i) fds[i].REvents = FromNative(native[i].revents);
      return rc;
    }
    if (errno != EINTR) RaiseSocketErrorCode(NetErrnoToSocketError(errno));
  }
}

}  // namespace tarvo::net
