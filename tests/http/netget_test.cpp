// The netget tool against nginx, with curl as the oracle for the downloaded bytes, and
// against scripted servers that fail it in the ways a hostile or broken server would.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#ifndef _WIN32
#include <unistd.h>

#include <csignal>

#include <sys/stat.h>
#endif

#include "../common/read_file.h"
#include "core/exception.h"
#include "core/memory_stream.h"
#include "real_peers.h"
#include "scripted_peer.h"
#ifdef TARVO_NETGET
#include "sha256_stream.h"
#endif

using namespace tarvo::http::testing;

namespace {

#ifdef TARVO_NETGET

std::string Slurp(const std::string& path) { return tarvo::testing::ReadFile(path); }

TEST(Netget, DownloadsWhatCurlDownloadsAndReportsFailuresExactly) {
  if (!Executable("/usr/sbin/nginx")) GTEST_SKIP() << "/usr/sbin/nginx is not installed";
  TTempDir root{TTempPlace::Shared};
  std::mt19937 gen(3);
  std::string data(1 << 20, '\0');
  for (char& c : data) c = static_cast<char>(gen());
  root.WriteFile("www/f.bin", data);
  TNginxPeer nginx(root.Text() + "/www", "    location = /r { return 302 /f.bin; }\n");
  ASSERT_TRUE(nginx.Ok());
  const std::string out = root.Text() + "/out.bin", err = root.Text() + "/err.txt";
  const std::string netget = ProgramCommand(TARVO_NETGET);

  EXPECT_EQ(Shell(netget + " " + nginx.Base() + "/f.bin -o " + out + " 2>" + err), 0);
  EXPECT_TRUE(Slurp(out) == data);
  std::string curl = FindProgram("curl");
  if (!curl.empty()) {
    ASSERT_EQ(LinuxShell(curl + " -s -o " + root.Text() + "/curl.bin " + nginx.Base() + "/f.bin"), 0);
    EXPECT_TRUE(Slurp(root.Text() + "/curl.bin") == Slurp(out));
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

// What stays of a download that fails: the output as it was, no temporary file beside it,
// and one message that is safe to print.
struct TFailureCase {
  const char* Name;
  std::vector<std::string> Responses;  // "{port}" is the server's port
  const char* Args;                    // after the URL "http://127.0.0.1:{port}/a"
  const char* Message;                 // stderr, without its line end
  bool Stall = false;                  // the server keeps the connection open after the last
};

const TFailureCase kFailures[] = {
    {"control characters in the status line", {"HTTP/1.1 404 \x1b]0;PWNED\x07\x1b[2J\xe2\x80\xae\r\nContent-Length: 0\r\n\r\n"},
     "", "HTTP/1.1 404 \xef\xbf\xbd]0;PWNED\xef\xbf\xbd\xef\xbf\xbd[2J\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
    {"counted body cut short", {"HTTP/1.1 200 OK\r\nContent-Length: 600\r\n\r\nshort"}, "",
     "Connection Closed Gracefully."},
    {"redirect chain past the maximum",
     std::vector<std::string>(15, "HTTP/1.1 302 Found\r\nLocation: /a\r\nContent-Length: 0\r\n\r\n"), "--follow",
     "Too many redirects (15), the last: HTTP/1.1 302 Found"},
    {"redirect to another scheme", {"HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1:{port}/a\r\nContent-Length: 0\r\n\r\n"},
     "--follow", "Unknown Protocol"},
    {"redirect to a port out of range", {"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:0/a\r\nContent-Length: 0\r\n\r\n"},
     "--follow", "Invalid port number in the URL"},
    {"server that stalls", {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab"}, "--read-timeout 1",
     "Read timed out.", true},
};

std::string WithPort(std::string text, int port) {
  for (std::size_t at; (at = text.find("{port}")) != std::string::npos;) text.replace(at, 6, std::to_string(port));
  return text;
}

TEST(Netget, FailuresLeaveTheOutputAsItWasAndSayWhy) {
  const std::string netget = ProgramCommand(TARVO_NETGET);
  for (const TFailureCase& c : kFailures) {
    SCOPED_TRACE(c.Name);
    TTempDir dir{TTempPlace::Shared};
    TScriptedServer server([&](int port) {
      std::vector<TScriptedResponse> responses;
      for (const std::string& r : c.Responses) responses.push_back({WithPort(r, port), false});
      responses.back().CloseAfter = !c.Stall;
      return responses;
    });
    dir.WriteFile("out.bin", "old");
    const std::string out = dir.Text() + "/out.bin", err = dir.Text() + "/err.txt";
    std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/a";
    EXPECT_EQ(Shell(netget + " " + url + " " + c.Args + " -o " + out + " 2>" + err), 1);
    EXPECT_EQ(Slurp(err), std::string(c.Message) + "\n");
    EXPECT_EQ(Slurp(out), "old");
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Text())) files += entry.is_regular_file();
    EXPECT_EQ(files, 2) << "a temporary file was left behind";
  }
}

// --sha256: the file is replaced only by a body of that digest, a wrong one changes nothing,
// and a command line that could not be held to it is refused before anything is sent.
// Digests by sha256sum.
constexpr const char kNewBody[] = "ae907ab9a383483e5c37beee966723544b9e6f12148a7dcd56ceea7ad44c5a7b";  // "new body"
constexpr const char kNewBodyUpper[] = "AE907AB9A383483E5C37BEEE966723544B9E6F12148A7DCD56CEEA7AD44C5A7B";
constexpr const char kOther[] = "d9298a10d1b0735837dc4bd85dac641b0f3cef27a47e5d53a54f2f3f5b2fcffa";  // "other"
#ifdef _WIN32
constexpr const char kDevice[] = "NUL";
#else
constexpr const char kDevice[] = "/dev/null";
#endif

struct TSha256Case {
  const char* Name;
  std::string Args;     // after the URL; "{out}" is the output file
  int Exit;
  const char* Out;      // the output file afterwards ("old" before)
  std::string Message;  // the first line on stderr; "{out}" is the output file
  std::vector<std::string> Responses = {"HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nnew body"};
};

const TSha256Case kSha256Cases[] = {
    {"digest matches", std::string("-o {out} --sha256 ") + kNewBody, 0, "new body", ""},
    {"upper-case digits", std::string("-o {out} --sha256 ") + kNewBodyUpper, 0, "new body", ""},
    {"digest differs", std::string("-o {out} --sha256 ") + kOther, 1, "old",
     std::string("SHA-256 mismatch for {out}: expected ") + kOther + ", got " + kNewBody},
    {"only the final body of a redirect counts", std::string("--follow -o {out} --sha256 ") + kNewBody, 0, "new body",
     "",
     {"HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 5\r\n\r\nmoved",
      "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\nnew body"}},
    {"63 digits", "-o {out} --sha256 " + std::string(kNewBody).substr(1), 2, "old",
     "netget: --sha256 takes 64 hexadecimal digits, not \"" + std::string(kNewBody).substr(1) + "\""},
    {"a digit that is not hexadecimal", "-o {out} --sha256 g" + std::string(kNewBody).substr(1), 2, "old",
     "netget: --sha256 takes 64 hexadecimal digits, not \"g" + std::string(kNewBody).substr(1) + "\""},
    {"empty", "-o {out} --sha256 \"\"", 2, "old", "netget: --sha256 takes 64 hexadecimal digits, not \"\""},
    {"standard output", std::string("--sha256 ") + kNewBody, 2, "old",
     "netget: --sha256 needs -o FILE: a body on standard output cannot be taken back on a mismatch"},
    {"a device", std::string("-o ") + kDevice + " --sha256 " + kNewBody, 2, "old",
     std::string("netget: --sha256 needs a file: ") + kDevice +
         " is a FIFO or device, which cannot take back what it was given"},
};

TEST(Netget, Sha256ReplacesTheFileOnlyWithThatBody) {
  const std::string netget = ProgramCommand(TARVO_NETGET);
  for (const TSha256Case& c : kSha256Cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir{TTempPlace::Shared};
    TScriptedServer server([&](int) {
      std::vector<TScriptedResponse> responses;
      for (const std::string& r : c.Responses) responses.push_back({r, false});
      responses.back().CloseAfter = true;
      return responses;
    });
    dir.WriteFile("out.bin", "old");
    const std::string out = dir.Text() + "/out.bin", err = dir.Text() + "/err.txt";
    auto withOut = [&](std::string text) {
      for (std::size_t at; (at = text.find("{out}")) != std::string::npos;) text.replace(at, 5, out);
      return text;
    };
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/a";
    EXPECT_EQ(Shell(netget + " " + url + " " + withOut(c.Args) + " 2>" + err), c.Exit);
    const std::string message = Slurp(err);
    EXPECT_EQ(message.substr(0, message.find('\n')), withOut(c.Message));
    EXPECT_EQ(Slurp(out), c.Out);
    if (c.Exit == 2) {
      EXPECT_EQ(server.Received(), "") << "a wrong command line sent a request";
    }
    int files = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Text())) files += entry.is_regular_file();
    EXPECT_EQ(files, 2) << "a temporary file was left behind";
  }
}

// The digest must describe exactly the bytes the file holds: the one way back, a cut to
// nothing, starts it again; every other way to make them differ is refused.
struct TStreamCase {
  const char* Name;
  std::vector<std::pair<char, std::string>> Steps;  // w: write the text, s: seek to, c: cut to
  bool Refused;  // the last step raises; otherwise the stream holds "new body" and its digest
};

const TStreamCase kStreamCases[] = {
    {"in pieces", {{'w', "new "}, {'w', "body"}}, false},
    {"a redirect's body thrown away", {{'w', "moved"}, {'s', "0"}, {'c', "0"}, {'w', "new body"}}, false},
    {"a cut at the hashed end", {{'w', "new body"}, {'c', "8"}}, false},
    {"a seek away and back", {{'w', "new "}, {'s', "0"}, {'s', "4"}, {'w', "body"}}, false},
    {"a write over hashed bytes", {{'w', "moved body"}, {'s', "0"}, {'w', "new body"}}, true},
    {"a cut inside the hashed bytes", {{'w', "new body!"}, {'c', "8"}}, true},
    {"a growth with zero bytes", {{'c', "8"}}, true},
};

TEST(Netget, Sha256StreamHashesExactlyWhatTheOutputHolds) {
  for (const TStreamCase& c : kStreamCases) {
    SCOPED_TRACE(c.Name);
    tarvo::core::TMemoryStream target;
    netget::TSha256Stream stream(target);
    auto run = [&](const std::pair<char, std::string>& step) {
      if (step.first == 'w') stream.WriteBuffer(step.second.data(), step.second.size());
      if (step.first == 's') stream.SetPosition(std::stoll(step.second));
      if (step.first == 'c') stream.SetSize(std::stoll(step.second));
    };
    for (std::size_t i = 0; i + 1 < c.Steps.size(); ++i) run(c.Steps[i]);
    if (c.Refused) {
      EXPECT_THROW(run(c.Steps.back()), tarvo::core::EStreamError);
      continue;
    }
    run(c.Steps.back());
    EXPECT_EQ(target.DataString(), "new body");
    EXPECT_EQ(tarvo::platform::HexDigest(stream.Digest()), kNewBody);
  }
}

TEST(Netget, ReplacesAPlantedLinkAndWritesIntoAFifo) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links and FIFOs made by POSIX calls; Windows has no FIFOs in its file system";
#else
  const std::string netget = ProgramCommand(TARVO_NETGET);
  TTempDir dir{TTempPlace::Shared};
  TScriptedServer server([](int) {
    return std::vector<TScriptedResponse>{{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody", false},
                                          {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfifo", false}};
  });
  std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/a";
  dir.WriteFile("victim", "precious");
  const std::string link = dir.Text() + "/out.bin";
  ASSERT_EQ(::symlink((dir.Text() + "/victim").c_str(), link.c_str()), 0);
  EXPECT_EQ(Shell(netget + " " + url + " -o " + link), 0);
  EXPECT_EQ(Slurp(dir.Text() + "/victim"), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Slurp(link), "body");

  const std::string fifo = dir.Text() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(Shell("timeout 10 cat " + fifo + " > " + dir.Text() + "/got & " + netget + " " + url + " -o " + fifo +
                  "; wait"),
            0);
  EXPECT_EQ(Slurp(dir.Text() + "/got"), "fifo");
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
#endif
}

// Other users read a process's arguments (/proc/PID/cmdline, ps): a password given with
// --user is overwritten there, while the download still waits for the server.
TEST(Netget, PasswordOnTheCommandLineIsHiddenWhileItRuns) {
#ifdef _WIN32
  GTEST_SKIP() << "the arguments are read through /proc";
#else
  const std::string netget = ProgramCommand(TARVO_NETGET);
  TTempDir dir{TTempPlace::Shared};
  // Takes the request and never answers.
  TScriptedServer server([](int) { return std::vector<TScriptedResponse>{{"", false}}; });
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/a";
  FILE* shell = ::popen((netget + " " + url + " --user joe:hunter2 --proxy-user pat:sesame --read-timeout 30 -o " +
                         dir.Text() + "/out.bin 2>/dev/null & echo $!; wait")
                            .c_str(),
                        "r");
  ASSERT_NE(shell, nullptr);
  int pid = 0;
  ASSERT_EQ(std::fscanf(shell, "%d", &pid), 1);
  for (int i = 0; i < 3000 && server.Received().find("\r\n\r\n") == std::string::npos; ++i) ::usleep(10000);
  const std::string arguments = Slurp("/proc/" + std::to_string(pid) + "/cmdline");
  ::kill(pid, SIGTERM);
  ::pclose(shell);
  ASSERT_NE(server.Received().find("GET /a"), std::string::npos) << server.Received();
  EXPECT_NE(arguments.find("joe:"), std::string::npos) << arguments;
  EXPECT_EQ(arguments.find("hunter2"), std::string::npos) << arguments;
  EXPECT_EQ(arguments.find("sesame"), std::string::npos) << arguments;
#endif
}

#endif

}  // namespace
