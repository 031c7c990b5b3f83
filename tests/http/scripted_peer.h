// Test peers that answer each request of the client with the next scripted response: an
// in-memory I/O handler (responses queued as the request is written, optionally split
// into two receives at a given offset) and a script for the loopback TCP server.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../net/loopback_server.h"
#include "net/net_io_handler_memory.h"

namespace tarvo::http::testing {

struct TScriptedResponse {
  std::string Bytes;
  bool CloseAfter = false;  // the peer closes the connection after sending it
};

// Counts complete request heads (and Content-Length bodies) in what the client sent.
class TRequestCounter {
public:
  // Feeds sent bytes; returns how many requests completed with them.
  int Feed(std::string_view bytes);

private:
  std::string FPending;
};

class TScriptedMemoryPeer : public net::TNetIOHandlerMemory {
public:
  explicit TScriptedMemoryPeer(std::vector<TScriptedResponse> responses, std::size_t splitAt = 0);
  int Requests() const { return FServed; }

protected:
  int WriteToSocket(const net::TNetBytes& bytes, int offset, int length) override;

private:
  std::vector<TScriptedResponse> FResponses;
  std::size_t FSplitAt;
  TRequestCounter FCounter;
  int FServed = 0;
};

// A loopback server serving the scripted responses in order across the connections it
// accepts. Records every byte it received.
class TScriptedServer {
public:
  // The responses are made once the port is known (they may name the server's address).
  explicit TScriptedServer(std::function<std::vector<TScriptedResponse>(int port)> responses);
  int Port() const { return FServer.Port(); }
  std::string Received();
  // Connections accepted so far.
  int Connections() const { return FServer.Accepted(); }

private:
  void Serve(net::testing::TPeer& peer);
  std::mutex FMutex;
  std::string FReceived;
  std::vector<TScriptedResponse> FResponses;
  std::size_t FNext = 0;
  net::testing::TLoopbackServer FServer;  // last: its thread stops before the rest goes
};

}  // namespace tarvo::http::testing
