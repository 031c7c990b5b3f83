#include "real_peers.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "../net/loopback_server.h"

namespace tarvo::http::testing {

int FreeLoopbackPort() { return net::testing::UnusedPort(); }

bool WaitForPort(int port, int timeoutMS) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMS);
  while (std::chrono::steady_clock::now() < until) {
    int fd = net::testing::OpenTestSocket(AF_INET);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    net::testing::CloseTestSocket(fd);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TNginxPeer::TNginxPeer(const std::string& root, const std::string& extraLocations, const std::string& certificate) {
  const std::string dir = FDir.Text();
  std::string tls;
  if (!certificate.empty()) {
    FScheme = "https";
    tls = " ssl;\n    ssl_certificate " + certificate + ";\n    ssl_certificate_key " +
          certificate.substr(0, certificate.size() - 4) + ".key";
  }
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
        "  server {\n    listen 127.0.0.1:" + std::to_string(port) + tls + ";\n    root " + root + ";\n" +
        extraLocations + "\n  }\n}\n";
    FDir.WriteFile("nginx.conf", conf);
    FProcess.Stop();
    if (!FProcess.Start({"/usr/sbin/nginx", "-p", dir, "-c", dir + "/nginx.conf"}, dir + "/out.log")) return;
    if (WaitForPort(port, 3000)) FPort = port;
  }
}

bool TNginxPeer::Restart() {
  const std::string dir = FDir.Text();
  FProcess.Stop();
  return FProcess.Start({"/usr/sbin/nginx", "-p", dir, "-c", dir + "/nginx.conf"}, dir + "/out.log") &&
         WaitForPort(FPort, 3000);
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

int StartTinyproxy(TTempDir& dir, TPeerProcess& proxy, const std::string& extra) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    int p = FreeLoopbackPort();
    dir.WriteFile("tinyproxy.conf", "Port " + std::to_string(p) + "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
                  "PidFile \"" + dir.Text() + "/tinyproxy.pid\"\nLogFile \"" + dir.Text() + "/tinyproxy.log\"\n"
                  "LogLevel Info\nMaxClients 10\nDisableViaHeader Yes\n" + extra);
    proxy.Stop();
    if (!proxy.Start({"/usr/bin/tinyproxy", "-d", "-c", dir.Text() + "/tinyproxy.conf"}, dir.Text() + "/out.log"))
      return 0;
    if (WaitForPort(p, 3000)) return p;
  }
  return 0;
}

}  // namespace tarvo::http::testing
