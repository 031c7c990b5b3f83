// The socket errors, written once: each line gives the name (the BSD errno name; Winsock's
// is the same with "WSA" in front), the Windows socket error number users read in
// messages ("Socket Error # 10061") and its text. The constants Net_WSA<name>, the resource
// strings RSStack<name> and the mapping from native errno values are all made from it.
//
// A text's resource identifier follows from its number: 1100 + (number - 10000) for the
// transport's errors, 1199 for the resolver's "host not found".
#pragma once

// X(name, number, text)
#define TARVO_SOCKET_ERRORS(X)                                                   \
  X(EINTR, 10004, "Interrupted system call.")                                    \
  X(EBADF, 10009, "Bad file number.")                                            \
  X(EACCES, 10013, "Access denied.")                                             \
  X(EFAULT, 10014, "Buffer fault.")                                              \
  X(EINVAL, 10022, "Invalid argument.")                                          \
  X(EMFILE, 10024, "Too many open files.")                                       \
  X(EWOULDBLOCK, 10035, "Operation would block.")                                \
  X(EINPROGRESS, 10036, "Operation now in progress.")                            \
  X(EALREADY, 10037, "Operation already in progress.")                           \
  X(ENOTSOCK, 10038, "Socket operation on non-socket.")                          \
  X(EDESTADDRREQ, 10039, "Destination address required.")                        \
  X(EMSGSIZE, 10040, "Message too long.")                                        \
  X(EPROTOTYPE, 10041, "Protocol wrong type for socket.")                        \
  X(ENOPROTOOPT, 10042, "Bad protocol option.")                                  \
  X(EPROTONOSUPPORT, 10043, "Protocol not supported.")                           \
  X(ESOCKTNOSUPPORT, 10044, "Socket type not supported.")                        \
  X(EOPNOTSUPP, 10045, "Operation not supported on socket.")                     \
  X(EPFNOSUPPORT, 10046, "Protocol family not supported.")                       \
  X(EAFNOSUPPORT, 10047, "Address family not supported by protocol family.")     \
  X(EADDRINUSE, 10048, "Address already in use.")                                \
  X(EADDRNOTAVAIL, 10049, "Cannot assign requested address.")                    \
  X(ENETDOWN, 10050, "Network is down.")                                         \
  X(ENETUNREACH, 10051, "Network is unreachable.")                               \
  X(ENETRESET, 10052, "Net dropped connection or reset.")                        \
  X(ECONNABORTED, 10053, "Software caused connection abort.")                    \
  X(ECONNRESET, 10054, "Connection reset by peer.")                              \
  X(ENOBUFS, 10055, "No buffer space available.")                                \
  X(EISCONN, 10056, "Socket is already connected.")                              \
  X(ENOTCONN, 10057, "Socket is not connected.")                                 \
  X(ESHUTDOWN, 10058, "Cannot send or receive after socket is closed.")          \
  X(ETOOMANYREFS, 10059, "Too many references, cannot splice.")                  \
  X(ETIMEDOUT, 10060, "Connection timed out.")                                   \
  X(ECONNREFUSED, 10061, "Connection refused.")                                  \
  X(ELOOP, 10062, "Too many levels of symbolic links.")                          \
  X(ENAMETOOLONG, 10063, "File name too long.")                                  \
  X(EHOSTDOWN, 10064, "Host is down.")                                           \
  X(EHOSTUNREACH, 10065, "No route to host.")                                    \
  X(ENOTEMPTY, 10066, "Directory not empty")

// The resolver's errors: no errno of their own. X(name, number, text)
#define TARVO_RESOLVER_ERRORS(X) X(HOST_NOT_FOUND, 11001, "Host not found.")
// ... and those shown without a text. X(name, number)
#define TARVO_RESOLVER_CODES(X) \
  X(TRY_AGAIN, 11002)           \
  X(NO_RECOVERY, 11003)         \
  X(NO_DATA, 11004)

// Native errno values that share a number with a line above: X(errno name, table name).
#define TARVO_SOCKET_ERRNO_ALIASES(X) \
  X(EPERM, EACCES)                    \
  X(ENFILE, EMFILE)                   \
  X(EAGAIN, EWOULDBLOCK)              \
  X(EPIPE, ECONNRESET) /* writing to a connection the peer has reset */ \
  X(ENOMEM, ENOBUFS)
