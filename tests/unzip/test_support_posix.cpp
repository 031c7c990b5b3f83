#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>

#include "test_support.h"

namespace tarvo::unzip::test {

int Shell(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Capture(const std::string& command, int* status, std::string* errorText) {
  TTempDir scratch;
  std::string errFile = scratch / "stderr";
  std::string full = command + " 2>" + Quote(errFile);
  FILE* pipe = ::popen(full.c_str(), "r");
  std::string out;
  if (!pipe) {
    if (status) *status = -1;
    return out;
  }
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  int rc = ::pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  if (errorText) *errorText = ReadText(errFile);
  return out;
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
               std::string* out, std::string* err) {
  std::string command = folder.empty() ? std::string() : "cd " + Quote(folder) + " && ";
  command += Quote(program);
  for (const std::string& a : args) command += " " + Quote(a);
  int status = -1;
  std::string errorText;
  std::string output = Capture(command, &status, &errorText);
  if (out) *out = output;
  if (err) *err = errorText;
  return status;
}

std::string HostPath(const std::string& linuxPath) { return linuxPath; }

std::string LocalWriteTime(const std::string& path) {
  struct stat st {};
  std::tm tm{};
  if (::stat(path.c_str(), &st) != 0 || !localtime_r(&st.st_mtime, &tm)) return "?";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

bool IsReadOnly(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

void MakeReadOnly(const std::string& path) { ::chmod(path.c_str(), 0444); }

}  // namespace tarvo::unzip::test
