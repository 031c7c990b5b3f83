#include "net/net_socket_errors.h"

#include <netdb.h>

#include <cerrno>

#include "core/format.h"
#include "net/net_exception.h"
#include "net/net_strings.h"

namespace tarvo::net {

namespace {

struct TErrorEntry {
  int Errno;                           // native value, 0 when only the Windows number exists
  int Code;                            // Windows socket error number
  const core::TResourceString* Text;   // user-visible text
};

// The one table: native errno → Windows number → text.
const TErrorEntry kErrors[] = {
    {EINTR, 10004, &RSStackEINTR},
    {EBADF, 10009, &RSStackEBADF},
    {EACCES, 10013, &RSStackEACCES},
    {EPERM, 10013, nullptr},
    {EFAULT, 10014, &RSStackEFAULT},
    {EINVAL, 10022, &RSStackEINVAL},
    {EMFILE, 10024, &RSStackEMFILE},
    {ENFILE, 10024, nullptr},
    {EWOULDBLOCK, 10035, &RSStackEWOULDBLOCK},
    {EAGAIN, 10035, nullptr},
    {EINPROGRESS, 10036, &RSStackEINPROGRESS},
    {EALREADY, 10037, &RSStackEALREADY},
    {ENOTSOCK, 10038, &RSStackENOTSOCK},
    {EDESTADDRREQ, 10039, &RSStackEDESTADDRREQ},
    {EMSGSIZE, 10040, &RSStackEMSGSIZE},
    {EPROTOTYPE, 10041, &RSStackEPROTOTYPE},
    {ENOPROTOOPT, 10042, &RSStackENOPROTOOPT},
    {EPROTONOSUPPORT, 10043, &RSStackEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, 10044, &RSStackESOCKTNOSUPPORT},
    {EOPNOTSUPP, 10045, &RSStackEOPNOTSUPP},
    {EPFNOSUPPORT, 10046, &RSStackEPFNOSUPPORT},
    {EAFNOSUPPORT, 10047, &RSStackEAFNOSUPPORT},
    {EADDRINUSE, 10048, &RSStackEADDRINUSE},
    {EADDRNOTAVAIL, 10049, &RSStackEADDRNOTAVAIL},
    {ENETDOWN, 10050, &RSStackENETDOWN},
    {ENETUNREACH, 10051, &RSStackENETUNREACH},
    {ENETRESET, 10052, &RSStackENETRESET},
    {ECONNABORTED, 10053, &RSStackECONNABORTED},
    {ECONNRESET, 10054, &RSStackECONNRESET},
    {EPIPE, 10054, nullptr},  // writing to a connection the peer has reset
    {ENOBUFS, 10055, &RSStackENOBUFS},
    {ENOMEM, 10055, nullptr},
    {EISCONN, 10056, &RSStackEISCONN},
    {ENOTCONN, 10057, &RSStackENOTCONN},
    {ESHUTDOWN, 10058, &RSStackESHUTDOWN},
    {ETOOMANYREFS, 10059, &RSStackETOOMANYREFS},
    {ETIMEDOUT, 10060, &RSStackETIMEDOUT},
    {ECONNREFUSED, 10061, &RSStackECONNREFUSED},
    {ELOOP, 10062, &RSStackELOOP},
    {ENAMETOOLONG, 10063, &RSStackENAMETOOLONG},
    {EHOSTDOWN, 10064, &RSStackEHOSTDOWN},
    {EHOSTUNREACH, 10065, &RSStackEHOSTUNREACH},
    {ENOTEMPTY, 10066, &RSStackENOTEMPTY},
    {0, 11001, &RSStackHOST_NOT_FOUND},
};

}  // namespace

int NetErrnoToSocketError(int errnoValue) noexcept {
  if (errnoValue == 0) return 0;
  for (const TErrorEntry& e : kErrors)
    if (e.Errno == errnoValue) return e.Code;
  return errnoValue;
}

int NetResolverErrorToSocketError(int eaiCode, int errnoValue) noexcept {
  switch (eaiCode) {
    case 0: return 0;
    case EAI_NONAME: return Net_WSAHOST_NOT_FOUND;
#ifdef EAI_NODATA
    case EAI_NODATA: return Net_WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return Net_WSAHOST_NOT_FOUND;
#endif
    case EAI_AGAIN: return Net_WSATRY_AGAIN;
    case EAI_FAIL: return Net_WSANO_RECOVERY;
    case EAI_BADFLAGS: return Net_WSAEINVAL;
    case EAI_FAMILY: return Net_WSAEAFNOSUPPORT;
    case EAI_MEMORY: return 8;  // not enough memory
    case EAI_SERVICE: return 10109;
    case EAI_SOCKTYPE: return 10044;
    case EAI_SYSTEM: return NetErrnoToSocketError(errnoValue);
    default: return Net_WSANO_RECOVERY;
  }
}

std::string TranslateSocketErrorMsg(int code) {
  std::string text;
  for (const TErrorEntry& e : kErrors) {
    if (e.Code == code && e.Text != nullptr) {
      text = core::LoadResString(*e.Text);
      break;
    }
  }
  return core::Format(core::LoadResString(RSStackError), {std::to_string(code), text});
}

void RaiseSocketErrorCode(int code) {
  if (code == Net_WSAENOTSOCK) throw ENetNotASocket(code, TranslateSocketErrorMsg(code));
  throw ENetSocketError(code, TranslateSocketErrorMsg(code));
}

}  // namespace tarvo::net
