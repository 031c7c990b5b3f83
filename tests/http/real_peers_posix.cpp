#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "real_peers.h"

extern char** environ;

namespace tarvo::http::testing {

struct TPeerProcess::TRunning {
  pid_t Pid;
};

TPeerProcess::TPeerProcess() = default;
TPeerProcess::~TPeerProcess() { Stop(); }

bool TPeerProcess::Start(const std::vector<std::string>& argv, const std::string& logFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  FRunning = std::make_unique<TRunning>(TRunning{pid});
  return true;
}

void TPeerProcess::Stop() {
  if (!FRunning) return;
  const pid_t pid = FRunning->Pid;
  FRunning.reset();
  ::kill(pid, SIGTERM);
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
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

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int LinuxShell(const std::string& command) { return Shell(command); }

std::string ShellQuote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

const char kNullDevice[] = "/dev/null";

std::string WithEnvironment(const std::string& name, const std::string& value, const std::string& command) {
  return name + "=" + ShellQuote(value) + " " + command;
}

std::string ProgramCommand(const std::string& path) { return path; }

}  // namespace tarvo::http::testing
