// Reads one HTTP response body from a loopback peer with the transport's raw ReadStream and
// prints the throughput. The request line and header skipping are the minimum needed to get
// the same bytes from the same server that curl fetches; the body is one ReadStream call.
//
//   bench_net_read HOST PORT PATH (null|FILE)
// Output: "<bytes> <seconds> <MB/s>"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/file_stream.h"
#include "core/stream.h"
#include "net/net_exception.h"
#include "net/net_tcp_client.h"

using namespace tarvo;

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s HOST PORT PATH (null|FILE)\n", argv[0]);
    return 2;
  }
  try {
    std::unique_ptr<core::TStream> target;
    if (std::string(argv[4]) == "null") {
      target = std::make_unique<core::TNullStream>();
    } else {
      target = std::make_unique<core::TFileStream>(argv[4], core::fmCreate);
    }
    auto start = std::chrono::steady_clock::now();
    net::TNetTCPClient client;
    client.Connect(argv[1], static_cast<std::uint16_t>(std::atoi(argv[2])));
    net::TNetIOHandler& io = *client.IOHandler();
    io.WriteLn(std::string("GET ") + argv[3] + " HTTP/1.0");
    io.WriteLn(std::string("Host: ") + argv[1]);
    io.WriteLn();
    std::int64_t length = -1;
    for (std::string line = io.ReadLn(); !line.empty(); line = io.ReadLn()) {
      const std::string key = "Content-Length:";
      if (line.compare(0, key.size(), key) == 0) length = std::atoll(line.c_str() + key.size());
    }
    io.ReadStream(*target, length, length < 0);
    client.Disconnect();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::int64_t bytes = target->Size();
    std::printf("%lld %.3f %.1f\n", static_cast<long long>(bytes), seconds, bytes / seconds / 1e6);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_net_read: %s\n", e.what());
    return 1;
  }
  return 0;
}
