// The console of a program that may have none (a Windows program of the window subsystem
// started from a command prompt): standard error, whether it is a terminal, and Ctrl-C.
#pragma once

namespace tarvo::platform {

// Connects standard output and error to the console of the program that started this one
// when this one has none; true when standard error leads somewhere (a console, a file, a
// pipe).
bool AttachParentConsole() noexcept;

// Whether standard error is an interactive terminal (a progress bar may redraw its line).
bool StderrIsTerminal() noexcept;

// The first Ctrl-C (and on POSIX systems the first SIGTERM or SIGHUP: `timeout`, a closed
// terminal, a service manager) sets *flag to 1 instead of ending the program, so that it
// can stop cleanly; a second one ends it.
void CatchFirstInterrupt(volatile int* flag) noexcept;
// Gives those signals their default action again.
void RestoreInterrupts() noexcept;

}  // namespace tarvo::platform
