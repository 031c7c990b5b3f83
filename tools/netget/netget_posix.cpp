#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "netget_system.h"

namespace netget {

const char kPathSeparators[] = "/";

namespace {

// The temporary file of a download in progress, removed also when the user interrupts.
char GTempPath[4096];

void RemoveTempAndExit(int sig) {
  if (GTempPath[0] != '\0') ::unlink(GTempPath);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

namespace {
int GArgc = 0;
char** GArgv = nullptr;
}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
  GArgc = argc, GArgv = argv;
  return std::vector<std::string>(argv, argv + argc);
}

void HideArgumentText(std::size_t index, std::size_t from) {
  if (index >= static_cast<std::size_t>(GArgc)) return;
  char* text = GArgv[index];
  const std::size_t length = std::strlen(text);
  if (from < length) std::memset(text + from, '*', length - from);
}

void UseBinaryStandardStreams() {}

TOutputHandle StandardOutput() { return 1; }

bool IsDeviceOutput(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
}

TOutputHandle OpenDeviceOutput(const std::string& path, bool& failed) {
  failed = false;
  if (!IsDeviceOutput(path)) return kNoOutput;
  int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  failed = fd < 0;
  return fd < 0 ? kNoOutput : fd;
}

void CloseOutput(TOutputHandle handle) {
  if (handle >= 0 && handle != 1) ::close(static_cast<int>(handle));
}

long WriteOutput(TOutputHandle handle, const void* data, std::size_t count) {
  for (;;) {
    ssize_t n = ::write(static_cast<int>(handle), data, count);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}

std::string AskPassword(const std::string& prompt) {
  int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0) return {};
  termios saved{};
  bool quiet = ::tcgetattr(tty, &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(tty, TCSAFLUSH, &silent);
  }
  [[maybe_unused]] ssize_t w = ::write(tty, prompt.data(), prompt.size());
  std::string password;
  for (char c; ::read(tty, &c, 1) == 1 && c != '\n' && c != '\r';) password += c;
  if (quiet) ::tcsetattr(tty, TCSAFLUSH, &saved);
  w = ::write(tty, "\n", 1);
  ::close(tty);
  return password;
}

void InstallInterruptHandlers() {
  std::signal(SIGINT, RemoveTempAndExit);
  std::signal(SIGTERM, RemoveTempAndExit);
  std::signal(SIGHUP, RemoveTempAndExit);
  std::signal(SIGPIPE, SIG_IGN);
}

void RemoveOnInterrupt(const std::string& temporaryName) {
  if (temporaryName.size() >= sizeof GTempPath) return;
  std::memcpy(GTempPath, temporaryName.c_str(), temporaryName.size() + 1);
}

}  // namespace netget
