// The netget tool against nginx, with curl as the oracle for the downloaded bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>

#include "real_peers.h"

using namespace tarvo::http::testing;

namespace {

#ifdef TARVO_NETGET

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Netget, DownloadsWhatCurlDownloadsAndReportsFailuresExactly) {
  if (!Executable("/usr/sbin/nginx")) GTEST_SKIP() << "/usr/sbin/nginx is not installed";
  TTempDir root;
  std::mt19937 gen(3);
  std::string data(1 << 20, '\0');
  for (char& c : data) c = static_cast<char>(gen());
  root.WriteFile("www/f.bin", data);
  TNginxPeer nginx(root.Path() + "/www", "    location = /r { return 302 /f.bin; }\n");
  ASSERT_TRUE(nginx.Ok());
  const std::string out = root.Path() + "/out.bin", err = root.Path() + "/err.txt";
  const std::string netget = TARVO_NETGET;

  EXPECT_EQ(Shell(netget + " " + nginx.Base() + "/f.bin -o " + out + " 2>" + err), 0);
  EXPECT_TRUE(Slurp(out) == data);
  std::string curl = FindProgram("curl");
  if (!curl.empty()) {
    ASSERT_EQ(Shell(curl + " -s -o " + root.Path() + "/curl.bin " + nginx.Base() + "/f.bin"), 0);
    EXPECT_TRUE(Slurp(root.Path() + "/curl.bin") == Slurp(out));
  }
  EXPECT_EQ(Slurp(err), "");  // not a terminal: no progress bar

  EXPECT_EQ(Shell(netget + " " + nginx.Base() + "/none -o " + out + " 2>" + err), 1);
  EXPECT_EQ(Slurp(err), "HTTP/1.1 404 Not Found\n");

  EXPECT_EQ(Shell(netget + " " + nginx.Base() + "/r -o " + out + " 2>" + err), 1);
  EXPECT_EQ(Slurp(err), "HTTP/1.1 302 Moved Temporarily\n");
  EXPECT_EQ(Shell(netget + " " + nginx.Base() + "/r --follow --http1.0 -v > " + out + " 2>" + err), 0);
  EXPECT_TRUE(Slurp(out) == data);
  EXPECT_NE(Slurp(err).find("> GET /f.bin HTTP/1.0\n"), std::string::npos);
  EXPECT_NE(Slurp(err).find("< HTTP/1.1 200 OK\n"), std::string::npos);

  int closed = FreeLoopbackPort();
  EXPECT_EQ(Shell(netget + " http://127.0.0.1:" + std::to_string(closed) + "/x 2>" + err), 1);
  EXPECT_EQ(Slurp(err), "Socket Error # 10061\r\nConnection refused.\n");
}

#endif

}  // namespace
