// Real HTTP peers started by the tests on 127.0.0.1, each with a private configuration in
// a temporary folder, and stopped (by the process id we started) when the object goes.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tarvo::http::testing {

// A port that was free a moment ago (bound to 0, read back, closed).
int FreeLoopbackPort();
// True once something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, int timeoutMS);

class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const std::string& Path() const { return FPath; }
  void WriteFile(const std::string& relative, const std::string& content) const;

private:
  std::string FPath;
};

class TPeerProcess {
public:
  TPeerProcess() = default;
  ~TPeerProcess() { Stop(); }
  // Starts argv[0] with the arguments; output goes to logFile.
  bool Start(const std::vector<std::string>& argv, const std::string& logFile);
  void Stop();
  bool Running() const { return FPid > 0; }

private:
  pid_t FPid = -1;
};

// nginx serving root on a free port (retrying on a port conflict).
class TNginxPeer {
public:
  // extraLocations go inside the server block.
  TNginxPeer(const std::string& root, const std::string& extraLocations);
  bool Ok() const { return FPort > 0; }
  int Port() const { return FPort; }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(FPort); }

private:
  TTempDir FDir;
  TPeerProcess FProcess;
  int FPort = 0;
};

// A server program given a free port: every "{port}" in its arguments (and in its
// configuration, written by `configure` for each port tried) is that port. Retried on a
// port conflict; Ok() once something accepts connections there.
class TPortPeer {
public:
  using TConfigure = std::function<void(int port)>;
  TPortPeer(std::vector<std::string> argv, const std::string& logFile, TConfigure configure = nullptr,
            int timeoutMS = 5000);
  bool Ok() const { return FPort > 0; }
  int Port() const { return FPort; }
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(FPort); }

private:
  TPeerProcess FProcess;
  int FPort = 0;
};

// Debian's python3 with impacket, or empty (the PATH may lead to another python3).
std::string PythonWithImpacket();

bool Executable(const std::string& path);
// The absolute path of a program found on PATH, or empty.
std::string FindProgram(const std::string& name);

}  // namespace tarvo::http::testing
