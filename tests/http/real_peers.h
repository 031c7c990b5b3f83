// Real HTTP peers started by the tests on 127.0.0.1, each with a private configuration in
// a temporary folder, and stopped (by the process id we started) when the object goes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../common/temp_dir.h"

namespace tarvo::http::testing {

// A port that was free a moment ago (bound to 0, read back, closed).
int FreeLoopbackPort();
// True once something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, int timeoutMS);

// The peers' folders are TTempPlace::Shared ones: the Linux side sees them under the same name.
using tarvo::testing::TTempDir;
using tarvo::testing::TTempPlace;

// A Linux program run as a peer: started here, or by the Linux side for a Windows test.
class TPeerProcess {
public:
  TPeerProcess();
  ~TPeerProcess();
  // Starts argv[0] with the arguments; output goes to logFile.
  bool Start(const std::vector<std::string>& argv, const std::string& logFile);
  void Stop();
  bool Running() const { return FRunning != nullptr; }

private:
  struct TRunning;  // real_peers_<system>.cpp
  std::unique_ptr<TRunning> FRunning;
};

// nginx serving root on a free port (retrying on a port conflict).
class TNginxPeer {
public:
  // extraLocations go inside the server block. With a certificate (PEM, its key beside it
  // as .key instead of .pem) the server speaks https.
  TNginxPeer(const std::string& root, const std::string& extraLocations, const std::string& certificate = "");
  bool Ok() const { return FPort > 0; }
  int Port() const { return FPort; }
  std::string Base() const { return FScheme + "://127.0.0.1:" + std::to_string(FPort); }
  // Kills the server (its connections break) and starts it again on the same port.
  void Stop() { FProcess.Stop(); }
  bool Restart();

private:
  std::string FScheme = "http";
  TTempDir FDir{TTempPlace::Shared};
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

// tinyproxy on a free port with the extra configuration lines; 0 when it did not start.
int StartTinyproxy(TTempDir& dir, TPeerProcess& proxy, const std::string& extra = "");

// Debian's python3 with impacket, or empty (the PATH may lead to another python3).
std::string PythonWithImpacket();

// A Linux program at path that may be run.
bool Executable(const std::string& path);
// The absolute path of a Linux program found on PATH, or empty.
std::string FindProgram(const std::string& name);

// A command line of the Linux shell (sh), run to its end: its exit status. A Windows test
// has the Linux side run it.
int LinuxShell(const std::string& command);
// A command line of this system's shell (sh; cmd.exe on Windows): its exit status. For the
// programs of this build (netget).
int Shell(const std::string& command);
// One argument quoted for Shell; the null device for its redirections.
std::string ShellQuote(const std::string& argument);
extern const char kNullDevice[];
// command run by Shell with the environment variable set.
std::string WithEnvironment(const std::string& name, const std::string& value, const std::string& command);
// A program of this build as Shell's first word.
std::string ProgramCommand(const std::string& path);

}  // namespace tarvo::http::testing
