// The one scripted TCP peer of the net and HTTP tests: a thread with a listening socket on
// 127.0.0.1 (an ephemeral port) that runs a script for each accepted connection.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "test_sockets.h"

namespace tarvo::net::testing {

// A port on 127.0.0.1 that nobody listens on: bound by us, then released (or, with
// keepOpen, left bound to the socket returned there). Bound to any address, so that it is
// taken for every address: Windows lets a bind to any address share a port that a bind
// to 127.0.0.1 holds.
inline std::uint16_t UnusedPort(int* keepOpen = nullptr) {
  int fd = OpenTestSocket(AF_INET);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_ANY);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  if (keepOpen != nullptr) {
    *keepOpen = fd;
  } else {
    CloseTestSocket(fd);
  }
  return ntohs(a.sin_port);
}

// One accepted connection as the script sees it.
class TPeer {
public:
  TPeer(int fd, const std::atomic<bool>& stop) : FFd(fd), FStop(stop) {
    int one = 1;
    SetTestOption(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  int Fd() const { return FFd; }
  // True once the server is being destroyed: a script that loops ends.
  bool Stopping() const { return FStop.load(); }
  // Bytes the client sent, waiting at most timeoutMS; empty when none came in time, and
  // false once the client closed (or the connection failed).
  bool Receive(std::string& got, int timeoutMS = 50) {
    got.clear();
    if (WaitTestSocket(FFd, false, timeoutMS) <= 0) return true;
    char buf[4096];
    long n = ReceiveTestBytes(FFd, buf, sizeof buf);
    if (n <= 0) return false;
    got.assign(buf, static_cast<std::size_t>(n));
    return true;
  }
  // Sends all bytes; a pause after it lets the client receive them as a chunk of its own.
  void Send(std::string_view bytes, int pauseMS = 0) {
    while (!bytes.empty()) {
      long n = SendTestBytes(FFd, bytes.data(), bytes.size());
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (pauseMS > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMS));
  }
  // Reads until the text has been seen or the client closes / timeoutMS passes.
  std::string ReadUntil(std::string_view text, int timeoutMS = 5000) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMS);
    while (got.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
      if (WaitTestSocket(FFd, false, 50) <= 0) continue;
      char buf[4096];
      long n = ReceiveTestBytes(FFd, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }
  // Waits until the client closes its side (or timeoutMS passes).
  bool WaitClientClose(int timeoutMS = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMS);
    while (std::chrono::steady_clock::now() < end) {
      if (WaitTestSocket(FFd, false, 50) <= 0) continue;
      char buf[4096];
      if (ReceiveTestBytes(FFd, buf, sizeof buf) <= 0) return true;
    }
    return false;
  }
  // Ends the connection with a reset instead of an orderly close.
  void Reset() {
    linger l{1, 0};
    SetTestOption(FFd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    CloseTestSocket(FFd);
    FFd = -1;
  }

private:
  int FFd;
  const std::atomic<bool>& FStop;
};

class TLoopbackServer {
public:
  using TScript = std::function<void(TPeer&)>;

  // Accepts up to maxConnections connections (negative: any number) one after the other;
  // each runs script and is then closed (unless the script reset it).
  explicit TLoopbackServer(TScript script, int maxConnections = 1) : FScript(std::move(script)) {
    FListen = OpenTestSocket(AF_INET);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(FListen, 8);
    socklen_t len = sizeof a;
    ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
    FPort = ntohs(a.sin_port);
    FThread = std::thread([this, maxConnections] { Run(maxConnections); });
  }
  ~TLoopbackServer() {
    FStop = true;
    FThread.join();
    CloseTestSocket(FListen);
  }
  std::uint16_t Port() const { return FPort; }
  int Accepted() const { return FAccepted.load(); }

private:
  void Run(int maxConnections) {
    for (int i = 0; (maxConnections < 0 || i < maxConnections) && !FStop;) {
      if (WaitTestSocket(FListen, false, 20) <= 0) continue;
      int fd = static_cast<int>(::accept(FListen, nullptr, nullptr));
      if (fd < 0) continue;
      ++FAccepted;
      ++i;
      TPeer peer(fd, FStop);
      FScript(peer);
      if (peer.Fd() >= 0) CloseTestSocket(peer.Fd());
    }
  }

  TScript FScript;
  int FListen = -1;
  std::uint16_t FPort = 0;
  std::atomic<bool> FStop{false};
  std::atomic<int> FAccepted{0};
  std::thread FThread;
};

}  // namespace tarvo::net::testing
