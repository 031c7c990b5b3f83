// What netget asks of the system it runs on (netget_posix.cpp, netget_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace netget {

// A descriptor, or a Windows HANDLE: standard output, a FIFO or a device.
using TOutputHandle = std::intptr_t;
inline constexpr TOutputHandle kNoOutput = -1;

// The characters that end a folder name in a path.
extern const char kPathSeparators[];

// The command line as UTF-8 (on Windows from the UTF-16 command line, not the ANSI one).
std::vector<std::string> Arguments(int argc, char** argv);
// Overwrites argument index from position `from` on, with '*', where other programs read
// the command line: on POSIX systems argv itself (/proc/PID/cmdline, ps). Windows keeps a
// copy of its own that this does not reach.
void HideArgumentText(std::size_t index, std::size_t from);

// Standard output and error pass bytes through unchanged (Windows' C library would make
// every "\n" a "\r\n" and so corrupt a body written to standard output).
void UseBinaryStandardStreams();

TOutputHandle StandardOutput();
// Whether path names a FIFO or a device, which is written directly rather than replaced;
// asks without opening it (opening a FIFO waits for its reader).
bool IsDeviceOutput(const std::string& path);
// path opened for writing when it is a FIFO or a device, which are written directly;
// kNoOutput when it is anything else. Sets failed (with errno) when it is one but cannot
// be opened.
TOutputHandle OpenDeviceOutput(const std::string& path, bool& failed);
void CloseOutput(TOutputHandle handle);
// Writes up to count bytes (going on after interruptions); the count written, 0 or less
// when nothing could be written.
long WriteOutput(TOutputHandle handle, const void* data, std::size_t count);

// A password read from the terminal without echo; empty when there is no terminal.
std::string AskPassword(const std::string& prompt);

// Ctrl-C (and on POSIX systems SIGTERM and SIGHUP) remove the file named last here before
// the program ends; "" forgets it. A peer that goes away gives an error, not a signal.
void InstallInterruptHandlers();
void RemoveOnInterrupt(const std::string& temporaryName);

}  // namespace netget
