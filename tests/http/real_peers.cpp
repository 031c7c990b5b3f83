#include "real_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "../net/loopback_server.h"

extern char** environ;

namespace tarvo::http::testing {

int FreeLoopbackPort() { return net::testing::UnusedPort(); }

bool WaitForPort(int port, int timeoutMS) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMS);
  while (std::chrono::steady_clock::now() < until) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tarvo-http-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) != nullptr) FPath = tmpl;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  if (!FPath.empty()) std::filesystem::remove_all(FPath, ec);
}

void TTempDir::WriteFile(const std::string& relative, const std::string& content) const {
  std::filesystem::path p = std::filesystem::path(FPath) / relative;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << content;
}

bool TPeerProcess::Start(const std::vector<std::string>& argv, const std::string& logFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int rc = ::posix_spawn(&FPid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) FPid = -1;
  return rc == 0;
}

void TPeerProcess::Stop() {
  if (FPid <= 0) return;
  ::kill(FPid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
      FPid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(FPid, SIGKILL);
  ::waitpid(FPid, nullptr, 0);
  FPid = -1;
}

bool Executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= p.size()) {
    std::size_t end = p.find(':', start);
    std::string dir = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string candidate = dir + "/" + name;
    if (!dir.empty() && Executable(candidate)) return candidate;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

TNginxPeer::TNginxPeer(const std::string& root, const std::string& extraLocations) {
  const std::string dir = FDir.Path();
  for (int attempt = 0; attempt < 5 && FPort == 0; ++attempt) {
    int port = FreeLoopbackPort();
    std::string conf =
        "daemon off;\nmaster_process off;\nworker_processes 1;\n"
        "error_log " + dir + "/error.log;\npid " + dir + "/nginx.pid;\n"
        "events { worker_connections 64; }\n"
        "http {\n  access_log off;\n  default_type application/octet-stream;\n"
        "  client_body_temp_path " + dir + "/body;\n  proxy_temp_path " + dir + "/proxy;\n"
        "  fastcgi_temp_path " + dir + "/fastcgi;\n  uwsgi_temp_path " + dir + "/uwsgi;\n"
        "  scgi_temp_path " + dir + "/scgi;\n  keepalive_requests 1000;\n"
        "  server {\n    listen 127.0.0.1:" + std::to_string(port) + ";\n    root " + root + ";\n" +
        extraLocations + "\n  }\n}\n";
    FDir.WriteFile("nginx.conf", conf);
    FProcess.Stop();
    if (!FProcess.Start({"/usr/sbin/nginx", "-p", dir, "-c", dir + "/nginx.conf"}, dir + "/out.log")) return;
    if (WaitForPort(port, 3000)) FPort = port;
  }
}

TPortPeer::TPortPeer(std::vector<std::string> argv, const std::string& logFile, TConfigure configure, int timeoutMS) {
  for (int attempt = 0; attempt < 5 && FPort == 0; ++attempt) {
    const int port = FreeLoopbackPort();
    std::vector<std::string> args = argv;
    for (std::string& a : args)
      for (std::size_t at; (at = a.find("{port}")) != std::string::npos;) a.replace(at, 6, std::to_string(port));
    if (configure) configure(port);
    FProcess.Stop();
    if (!FProcess.Start(args, logFile)) return;
    if (WaitForPort(port, timeoutMS)) FPort = port;
  }
}

std::string PythonWithImpacket() {
  const std::string python = "/usr/bin/python3";
  if (!Executable(python)) return {};
  return std::system((python + " -c 'import impacket.ntlm' >/dev/null 2>&1").c_str()) == 0 ? python : std::string();
}

}  // namespace tarvo::http::testing
