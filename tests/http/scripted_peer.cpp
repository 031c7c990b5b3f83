#include "scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
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

TLoopbackServer::TLoopbackServer(std::function<std::vector<TScriptedResponse>(int port)> responses)
    : FMutex(new std::mutex) {
  FListen = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(FListen, 8);
  socklen_t len = sizeof addr;
  ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
  FPort = ntohs(addr.sin_port);
  FResponses = responses(FPort);
  FThread = std::thread([this] { Run(); });
}

TLoopbackServer::~TLoopbackServer() {
  FStop = true;
  ::shutdown(FListen, SHUT_RDWR);
  FThread.join();
  ::close(FListen);
  delete FMutex;
}

std::string TLoopbackServer::Received() {
  std::lock_guard<std::mutex> lock(*FMutex);
  return FReceived;
}

void TLoopbackServer::Run() {
  std::size_t next = 0;
  while (!FStop) {
    pollfd p{FListen, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept(FListen, nullptr, nullptr);
    if (fd < 0) continue;
    ++FConnections;
    TRequestCounter counter;
    bool open = true;
    while (open && !FStop) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 50) <= 0) continue;
      char buf[4096];
      ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      {
        std::lock_guard<std::mutex> lock(*FMutex);
        FReceived.append(buf, static_cast<std::size_t>(n));
      }
      int completed = counter.Feed(std::string_view(buf, static_cast<std::size_t>(n)));
      for (int i = 0; i < completed && next < FResponses.size(); ++i) {
        const TScriptedResponse& r = FResponses[next++];
        std::size_t sent = 0;
        while (sent < r.Bytes.size()) {
          ssize_t w = ::send(fd, r.Bytes.data() + sent, r.Bytes.size() - sent, MSG_NOSIGNAL);
          if (w <= 0) break;
          sent += static_cast<std::size_t>(w);
        }
        if (r.CloseAfter) {
          open = false;
          break;
        }
      }
    }
    ::close(fd);
  }
}

}  // namespace tarvo::http::testing
