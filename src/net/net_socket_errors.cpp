#include "net/net_socket_errors.h"

#include "core/format.h"
#include "net/net_exception.h"
#include "net/net_strings.h"

namespace tarvo::net {

namespace {

struct TErrorText {
  int Code;
  const core::TResourceString* Text;
};

#define TARVO_SOCKET_ERROR_ENTRY(name, number, text) {number, &RSStack##name},
const TErrorText kTexts[] = {TARVO_SOCKET_ERRORS(TARVO_SOCKET_ERROR_ENTRY) TARVO_RESOLVER_ERRORS(TARVO_SOCKET_ERROR_ENTRY)};
#undef TARVO_SOCKET_ERROR_ENTRY

}  // namespace

std::string TranslateSocketErrorMsg(int code) {
  std::string text;
  for (const TErrorText& e : kTexts) {
    if (e.Code == code) {
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
