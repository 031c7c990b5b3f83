#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/utf16.h"
#include "test_support.h"

namespace tarvo::unzip::test {

namespace {

// Wine's own exports: the Linux path of a Windows path and back (null outside Wine).
using TToUnix = char*(CDECL*)(LPCWSTR);
using TToDos = WCHAR*(CDECL*)(LPCSTR);

FARPROC WineExport(const char* name) { return ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name); }

std::string UnixPathOf(const std::string& path) {
  static const auto toUnix = reinterpret_cast<TToUnix>(reinterpret_cast<void*>(WineExport("wine_get_unix_file_name")));
  if (!toUnix) return path;
  char* unix = toUnix(core::Utf8ToWide(path).c_str());
  if (!unix) return path;
  std::string result(unix);
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

bool IsWindowsPath(const std::string& text) {
  return text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
         (text[2] == '\\' || text[2] == '/');
}

// The command line quoting of the C runtime that splits it into argv again.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// Starts a process with its standard output and error in files; returns its exit status
// as the child reports it (Wine gives Linux programs' own status as 0), -1 when it could
// not start.
int Run(const std::wstring& application, std::wstring commandLine, const std::string& folder,
        const std::string& outFile, const std::string& errFile) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = ::CreateFileW(core::Utf8ToWide(outFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE err = ::CreateFileW(core::Utf8ToWide(errFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  HANDLE none = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                              nullptr);
  si.hStdInput = none;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  const std::wstring where = core::Utf8ToWide(folder);
  const BOOL started = ::CreateProcessW(application.empty() ? nullptr : application.c_str(), commandLine.data(),
                                        nullptr, nullptr, TRUE, 0, nullptr, where.empty() ? nullptr : where.c_str(),
                                        &si, &pi);
  ::CloseHandle(out);
  ::CloseHandle(err);
  ::CloseHandle(none);
  if (!started) return -1;
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

// The command through the Linux shell, which writes its status to a file when it is done:
// Wine neither waits for a Linux program it started nor passes its exit status on, so the
// file, renamed into place whole, is both the end signal and the status.
int LinuxShell(const std::string& command, std::string* out, std::string* err) {
  TTempDir scratch;
  const std::string script = scratch / "run.sh", outFile = scratch / "out", errFile = scratch / "err",
                    statusFile = scratch / "status";
  std::string here = core::WideToUtf8(fs::current_path().wstring());
  WriteText(script, "export PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin\n"
                    "cd " + Quote(here) + " 2>/dev/null\n"
                    "( " + command + "\n) >" + Quote(outFile) + " 2>" + Quote(errFile) + "\n"
                    "echo $? >" + Quote(statusFile + ".part") + " && mv " + Quote(statusFile + ".part") + " " +
                    Quote(statusFile) + "\n");
  if (Run(L"/bin/sh", L"/bin/sh " + QuoteArgument(core::Utf8ToWide(UnixPathOf(script))), std::string(),
          scratch / "sh.out", scratch / "sh.err") < 0)
    return -1;
  // A command that never ends fails its test by the test's own time limit.
  for (DWORD pause = 1; ::GetFileAttributesW(core::Utf8ToWide(statusFile).c_str()) == INVALID_FILE_ATTRIBUTES;
       pause = std::min<DWORD>(pause * 2, 50))
    ::Sleep(pause);
  if (out) *out = ReadText(outFile);
  if (err) *err = ReadText(errFile);
  const std::string status = ReadText(statusFile);
  return status.empty() ? -1 : std::atoi(status.c_str());
}

}  // namespace

int Shell(const std::string& command) {
  std::string out, err;
  const int status = LinuxShell(command, &out, &err);
  std::fputs(out.c_str(), stdout);
  std::fputs(err.c_str(), stderr);
  return status;
}

std::string Capture(const std::string& command, int* status, std::string* errorText) {
  std::string out;
  const int rc = LinuxShell(command, &out, errorText);
  if (status) *status = rc;
  return out;
}

std::string Quote(const std::string& text) {
  const std::string unix = IsWindowsPath(text) ? UnixPathOf(text) : text;
  std::string out = "'";
  for (char c : unix) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::string HostPath(const std::string& linuxPath) {
  static const auto toDos = reinterpret_cast<TToDos>(reinterpret_cast<void*>(WineExport("wine_get_dos_file_name")));
  if (!toDos || linuxPath.empty() || linuxPath[0] != '/') return linuxPath;
  WCHAR* dos = toDos(linuxPath.c_str());
  if (!dos) return linuxPath;
  std::string result = core::WideToUtf8(dos);
  ::HeapFree(::GetProcessHeap(), 0, dos);
  return result;
}

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
               std::string* out, std::string* err) {
  TTempDir scratch;
  const std::wstring exe = core::Utf8ToWide(HostPath(program));
  std::wstring line = QuoteArgument(exe);
  for (const std::string& a : args) line += L" " + QuoteArgument(core::Utf8ToWide(a));
  const int status = Run(exe, line, folder, scratch / "out", scratch / "err");
  // A Windows program ends its text lines with CR LF; the lines themselves are compared.
  auto lines = [](std::string text) {
    std::string::size_type at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
  };
  if (out) *out = lines(ReadText(scratch / "out"));
  if (err) *err = lines(ReadText(scratch / "err"));
  return status;
}

std::string LocalWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  SYSTEMTIME t{};
  if (!::GetFileAttributesExW(core::Utf8ToWide(path).c_str(), GetFileExInfoStandard, &data) ||
      !::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &t))
    return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  return text;
}

bool IsReadOnly(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(core::Utf8ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

void MakeReadOnly(const std::string& path) {
  ::SetFileAttributesW(core::Utf8ToWide(path).c_str(), FILE_ATTRIBUTE_READONLY);
}

}  // namespace tarvo::unzip::test
