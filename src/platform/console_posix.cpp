#include <signal.h>
#include <unistd.h>

#include <initializer_list>

#include "platform/console.h"

namespace tarvo::platform {

namespace {
volatile int* g_flag = nullptr;
extern "C" void OnInterrupt(int) {
  if (g_flag) *g_flag = 1;
}
}  // namespace

bool AttachParentConsole() noexcept { return true; }  // a POSIX program keeps its standard error

bool StderrIsTerminal() noexcept { return ::isatty(2) == 1; }

void CatchFirstInterrupt(volatile int* flag) noexcept {
  g_flag = flag;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

void RestoreInterrupts() noexcept {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal, SIG_DFL);
  g_flag = nullptr;
}

}  // namespace tarvo::platform
