#include <iterator>
#include <vector>

#include "net/net_poll.h"
#include "net/net_socket_errors.h"
#include "net/net_winsock.h"

namespace tarvo::net {

namespace {

// WSAPoll refuses POLLPRI; urgent data is the priority band there.
constexpr TNetPollBit kBits[] = {
    {NetPollIn, POLLRDNORM}, {NetPollOut, POLLWRNORM}, {NetPollPri, POLLRDBAND},
    {NetPollError, POLLERR | POLLNVAL}, {NetPollHangUp, POLLHUP},
};
constexpr std::size_t kAsked = 3;  // the first three are asked for, the rest only found

}  // namespace

int NetPoll(TNetPollFd* fds, std::size_t count, int timeoutMS) {
  const TNetDeadline deadline(timeoutMS);
  if (count == 0) {
    // WSAPoll refuses an empty set; poll() on it just waits.
    ::Sleep(deadline.Limited() ? static_cast<DWORD>(deadline.Remaining()) : INFINITE);
    return 0;
  }
  std::vector<WSAPOLLFD> native(count);
  for (std::size_t i = 0; i < count; ++i) {
    native[i].fd = NetNativeSocket(fds[i].Fd);
    native[i].events = NetPollToNative(fds[i].Events, kBits, kAsked);
    native[i].revents = 0;
  }
  int rc = ::WSAPoll(native.data(), static_cast<ULONG>(count), deadline.Remaining());
  if (rc == SOCKET_ERROR) RaiseSocketErrorCode(::WSAGetLastError());
  for (std::size_t i = 0; i < count; ++i) fds[i].REvents = NetPollFromNative(native[i].revents, kBits, std::size(kBits));
  return rc;
}

}  // namespace tarvo::net
