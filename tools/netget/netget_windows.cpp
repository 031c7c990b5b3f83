#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "core/utf16.h"
#include "core/win_error.h"
#include "netget_system.h"

namespace netget {

const char kPathSeparators[] = "\\/";

namespace {

// The temporary file of a download in progress; the console's control handler runs on a
// thread of its own, hence the lock.
std::mutex GTempLock;
std::wstring GTempPath;

BOOL WINAPI RemoveTempOnControl(DWORD) {
  std::lock_guard<std::mutex> guard(GTempLock);
  if (!GTempPath.empty()) ::DeleteFileW(GTempPath.c_str());
  return FALSE;  // and end the program as usual
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(tarvo::core::WideToUtf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

void HideArgumentText(std::size_t, std::size_t) {}

void UseBinaryStandardStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

TOutputHandle StandardOutput() { return reinterpret_cast<TOutputHandle>(::GetStdHandle(STD_OUTPUT_HANDLE)); }

bool IsDeviceOutput(const std::string& path) {
  // Only the console and the null device are devices one names as a file here; a name that
  // is no device goes to the replacing file (which refuses the other device names).
  const std::wstring wide = tarvo::core::Utf8ToWide(path);
  return _wcsicmp(wide.c_str(), L"NUL") == 0 || _wcsicmp(wide.c_str(), L"CON") == 0 ||
         _wcsicmp(wide.c_str(), L"CONOUT$") == 0;
}

TOutputHandle OpenDeviceOutput(const std::string& path, bool& failed) {
  failed = false;
  if (!IsDeviceOutput(path)) return kNoOutput;
  const std::wstring wide = tarvo::core::Utf8ToWide(path);
  HANDLE h = ::CreateFileW(_wcsicmp(wide.c_str(), L"NUL") == 0 ? L"NUL" : L"CONOUT$", GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = tarvo::core::ErrnoFromWindowsError(::GetLastError());
    failed = true;
    return kNoOutput;
  }
  return reinterpret_cast<TOutputHandle>(h);
}

void CloseOutput(TOutputHandle handle) {
  if (handle != kNoOutput && handle != StandardOutput()) ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

long WriteOutput(TOutputHandle handle, const void* data, std::size_t count) {
  DWORD written = 0;
  const DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  if (!::WriteFile(reinterpret_cast<HANDLE>(handle), data, chunk, &written, nullptr)) {
    errno = tarvo::core::ErrnoFromWindowsError(::GetLastError());
    return -1;
  }
  return static_cast<long>(written);
}

std::string AskPassword(const std::string& prompt) {
  HANDLE in = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return {};
  HANDLE out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  DWORD saved = 0;
  const bool quiet = ::GetConsoleMode(in, &saved) != 0;
  if (quiet) ::SetConsoleMode(in, (saved | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  const std::wstring widePrompt = tarvo::core::Utf8ToWide(prompt);
  DWORD n = 0;
  if (out != INVALID_HANDLE_VALUE) ::WriteConsoleW(out, widePrompt.data(), static_cast<DWORD>(widePrompt.size()), &n, nullptr);
  std::wstring password;
  for (wchar_t c; ::ReadConsoleW(in, &c, 1, &n, nullptr) && n == 1 && c != L'\n' && c != L'\r';) password += c;
  if (quiet) ::SetConsoleMode(in, saved);
  if (out != INVALID_HANDLE_VALUE) {
    ::WriteConsoleW(out, L"\r\n", 2, &n, nullptr);
    ::CloseHandle(out);
  }
  ::CloseHandle(in);
  return tarvo::core::WideToUtf8(password);
}

void InstallInterruptHandlers() { ::SetConsoleCtrlHandler(RemoveTempOnControl, TRUE); }

void RemoveOnInterrupt(const std::string& temporaryName) {
  std::lock_guard<std::mutex> guard(GTempLock);
  GTempPath = tarvo::core::Utf8ToWide(temporaryName);
}

}  // namespace netget
