#include "scripted_peer.h"

#include <mutex>

namespace tarvo::http::testing {

int TRequestCounter::Feed(std::string_view bytes) {
  FPending.append(bytes);
  int done = 0;
  for (;;) {
    std::size_t end = FPending.find("\r\n\r\n");
    if (end == std::string::npos) return done;
    std::size_t length = 0;
    std::string head = FPending.substr(0, end);
    for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t at = head.find("\r\ncontent-length:");
    if (at != std::string::npos) length = std::stoul(head.substr(at + 17));
    if (FPending.size() < end + 4 + length) return done;
    FPending.erase(0, end + 4 + length);
    ++done;
  }
}

TScriptedMemoryPeer::TScriptedMemoryPeer(std::vector<TScriptedResponse> responses, std::size_t splitAt)
    : FResponses(std::move(responses)), FSplitAt(splitAt) {
  SetCloseWhenDrained(false);
}

int TScriptedMemoryPeer::WriteToSocket(const net::TNetBytes& bytes, int offset, int length) {
  int n = TNetIOHandlerMemory::WriteToSocket(bytes, offset, length);
  if (n <= 0) return n;
  int completed = FCounter.Feed(std::string_view(reinterpret_cast<const char*>(bytes.data()) + offset, n));
  for (int i = 0; i < completed; ++i) {
    if (static_cast<std::size_t>(FServed) >= FResponses.size()) break;
    const TScriptedResponse& r = FResponses[FServed++];
    if (FSplitAt > 0 && FSplitAt < r.Bytes.size()) {
      QueueInput(std::string_view(r.Bytes).substr(0, FSplitAt));
      QueueInput(std::string_view(r.Bytes).substr(FSplitAt));
    } else {
      QueueInput(r.Bytes);
    }
    if (r.CloseAfter) QueuePeerClose();
  }
  return n;
}

TScriptedServer::TScriptedServer(std::function<std::vector<TScriptedResponse>(int port)> responses)
    : FServer([this](net::testing::TPeer& peer) { Serve(peer); }, -1) {
  std::lock_guard<std::mutex> lock(FMutex);
  FResponses = responses(FServer.Port());
}

std::string TScriptedServer::Received() {
  std::lock_guard<std::mutex> lock(FMutex);
  return FReceived;
}

void TScriptedServer::Serve(net::testing::TPeer& peer) {
  TRequestCounter counter;
  std::string got;
  while (!peer.Stopping() && peer.Receive(got)) {
    std::lock_guard<std::mutex> lock(FMutex);
    FReceived += got;
    for (int completed = counter.Feed(got); completed > 0 && FNext < FResponses.size(); --completed) {
      const TScriptedResponse& r = FResponses[FNext++];
      peer.Send(r.Bytes);
      if (r.CloseAfter) return;
    }
  }
}

}  // namespace tarvo::http::testing
