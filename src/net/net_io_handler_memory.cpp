#include "net/net_io_handler_memory.h"

#include <algorithm>
#include <cstring>

#include "net/net_exception.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

const core::TClassInfo& TNetIOHandlerMemory::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetIOHandlerMemory", &core::ClassInfoOf<TNetIOHandler>(), {}};
  return info;
}

TNetIOHandlerMemory::TNetIOHandlerMemory(core::TComponent* owner) : TNetIOHandler(owner) {}

TNetIOHandlerMemory::~TNetIOHandlerMemory() { FSourceOpen = false; }

void TNetIOHandlerMemory::QueueInput(const TNetBytes& chunk) {
  if (chunk.empty()) return;
  FScript.push_back(TEntry{TEntry::Data, chunk, 0, 0});
}

void TNetIOHandlerMemory::QueueInput(std::string_view chunk) {
  QueueInput(TNetBytes(chunk.begin(), chunk.end()));
}

void TNetIOHandlerMemory::QueuePeerClose() { FScript.push_back(TEntry{TEntry::Close, {}, 0, 0}); }

void TNetIOHandlerMemory::QueueError(int socketErrorCode) {
  FScript.push_back(TEntry{TEntry::Error, {}, 0, socketErrorCode});
}

void TNetIOHandlerMemory::ClearInput() { FScript.clear(); }

void TNetIOHandlerMemory::Open() {
  TNetIOHandler::Open();
  FSourceOpen = true;
  ++FOpenCount;
  if (OnOpen) OnOpen(*this);
}

void TNetIOHandlerMemory::Close() {
  FSourceOpen = false;
  TNetIOHandler::Close();
}

bool TNetIOHandlerMemory::Connected() {
  if (FSourceOpen) FillInputBuffer(false, 0, false);
  return BaseConnected();
}

void TNetIOHandlerMemory::CheckForDisconnect(bool raise, bool ignoreBuffer) {
  bool lost;
  if (ClosedGracefully()) {
    if (FSourceOpen) {
      FSourceOpen = false;
      ReportStatus(hsDisconnected);
    }
    lost = true;
  } else {
    lost = !FSourceOpen;
  }
  if (lost && raise && (ignoreBuffer || InputBuffer().Size() == 0)) throw ENetConnClosedGracefully();
}

bool TNetIOHandlerMemory::Readable(int /*timeoutMS*/) {
  if (!FSourceOpen || !FScript.empty()) return true;
  return FCloseWhenDrained;
}

int TNetIOHandlerMemory::ReadFromSocket(TNetBytes& buffer) {
  if (FScript.empty()) return 0;
  TEntry& entry = FScript.front();
  switch (entry.Kind) {
    case TEntry::Data: {
      std::size_t n = std::min(buffer.size(), entry.Bytes.size() - entry.Offset);
      std::memcpy(buffer.data(), entry.Bytes.data() + entry.Offset, n);
      entry.Offset += n;
      if (entry.Offset >= entry.Bytes.size()) FScript.pop_front();
      return static_cast<int>(n);
    }
    case TEntry::Close:
      FScript.pop_front();
      return 0;
    case TEntry::Error: {
      int code = entry.Code;
      FScript.pop_front();
      RaiseErrorCode(code);
    }
  }
  return 0;
}

int TNetIOHandlerMemory::WriteToSocket(const TNetBytes& bytes, int offset, int length) {
  if (FWriteError != 0) return Net_SOCKET_ERROR;
  int n = FMaxSendChunk > 0 ? std::min(length, FMaxSendChunk) : length;
  FOutput.insert(FOutput.end(), bytes.begin() + offset, bytes.begin() + offset + n);
  return n;
}

int TNetIOHandlerMemory::FilterError(int /*result*/) {
  int code = FWriteError;
  if (code != Net_WSAESHUTDOWN && code != Net_WSAECONNABORTED && code != Net_WSAECONNRESET) RaiseErrorCode(code);
  return code;
}

void TNetIOHandlerMemory::RaiseErrorCode(int code) { RaiseSocketErrorCode(code); }

}  // namespace tarvo::net
