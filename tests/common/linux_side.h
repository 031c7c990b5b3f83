// The Windows test programs' way to the Linux programs they need as peers (nginx,
// tinyproxy, msgfmt, python3): a service on 127.0.0.1 that a CTest fixture starts
// (linux_side.py) runs them. Folders the tests share with it lie below TARVO_LINUX_SIDE_DIR,
// a Linux path that Wine's drive Z: shows under the same name.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "../net/test_sockets.h"

namespace tarvo::testing {

#ifdef TARVO_LINUX_SIDE_DIR

class TLinuxSide {
public:
  // The service's port, 0 when no fixture started it.
  static int Port() {
    std::ifstream in(std::string(TARVO_LINUX_SIDE_DIR) + "/port");
    int port = 0;
    in >> port;
    return port;
  }
  static bool Available() { return Port() > 0; }
  static std::string Folder() { return TARVO_LINUX_SIDE_DIR; }

  // Runs argv to its end; the exit status (127: could not run), stdout in *out.
  static int Run(const std::vector<std::string>& argv, std::string* out = nullptr) {
    TLinuxSide side;
    if (!side.Send("run", argv)) return 127;
    std::string rc = side.Line();
    std::string length = side.Line();
    if (rc.rfind("rc ", 0) != 0 || length.empty()) return 127;
    std::string bytes = side.Bytes(std::stoul(length));
    if (out != nullptr) *out = bytes;
    return std::stoi(rc.substr(3));
  }

  // Starts argv with its output in logFile; it runs until Stop or until this object goes.
  bool Start(const std::vector<std::string>& argv, const std::string& logFile) {
    std::vector<std::string> args{logFile};
    args.insert(args.end(), argv.begin(), argv.end());
    if (!Send("start", args)) return false;
    std::string pid = Line();
    return pid.rfind("pid ", 0) == 0 && std::stoi(pid.substr(4)) > 0;
  }
  void Stop() {
    if (FFd < 0) return;
    net::testing::SendTestBytes(FFd, "x", 1);
    Line();  // "stopped": the program has ended
    Close();
  }

  TLinuxSide() = default;
  ~TLinuxSide() { Close(); }
  TLinuxSide(const TLinuxSide&) = delete;
  TLinuxSide& operator=(const TLinuxSide&) = delete;

private:
  bool Send(const std::string& op, const std::vector<std::string>& args) {
    Close();
    const int port = Port();
    if (port <= 0) return false;
    FFd = net::testing::OpenTestSocket(AF_INET);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(FFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      Close();
      return false;
    }
    std::string request = op + "\n" + std::to_string(args.size()) + "\n";
    for (const std::string& arg : args) request += std::to_string(arg.size()) + "\n" + arg;
    for (std::size_t done = 0; done < request.size();) {
      long n = net::testing::SendTestBytes(FFd, request.data() + done, request.size() - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }
  std::string Line() {
    std::string line;
    char c;
    while (FFd >= 0 && net::testing::ReceiveTestBytes(FFd, &c, 1) == 1 && c != '\n') line += c;
    return line;
  }
  std::string Bytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t done = 0;
    while (done < count) {
      long n = net::testing::ReceiveTestBytes(FFd, bytes.data() + done, count - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
  }
  void Close() {
    if (FFd >= 0) net::testing::CloseTestSocket(FFd);
    FFd = -1;
  }

  int FFd = -1;
};

#endif

}  // namespace tarvo::testing
