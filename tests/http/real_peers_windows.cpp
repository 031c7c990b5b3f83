#include <cstdlib>
#include <filesystem>

#include "../common/linux_side.h"
#include "real_peers.h"

namespace tarvo::http::testing {

using tarvo::testing::TLinuxSide;

struct TPeerProcess::TRunning {
  TLinuxSide Side;  // the program lives as long as this connection
};

TPeerProcess::TPeerProcess() = default;
TPeerProcess::~TPeerProcess() { Stop(); }

bool TPeerProcess::Start(const std::vector<std::string>& argv, const std::string& logFile) {
  Stop();
  auto running = std::make_unique<TRunning>();
  if (!running->Side.Start(argv, logFile)) return false;
  FRunning = std::move(running);
  return true;
}

void TPeerProcess::Stop() {
  if (!FRunning) return;
  FRunning->Side.Stop();
  FRunning.reset();
}

bool Executable(const std::string& path) { return TLinuxSide::Run({"test", "-x", path}) == 0; }

std::string FindProgram(const std::string& name) {
  std::string out;
  if (TLinuxSide::Run({"sh", "-c", "command -v " + name}, &out) != 0) return {};
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

int LinuxShell(const std::string& command) { return TLinuxSide::Run({"sh", "-c", command}); }

int Shell(const std::string& command) {
  // cmd.exe takes the line after /c with its outer quotes removed: quote it once more.
  return std::system(("\"" + command + "\"").c_str());
}

std::string ShellQuote(const std::string& argument) { return "\"" + argument + "\""; }

const char kNullDevice[] = "NUL";

std::string WithEnvironment(const std::string& name, const std::string& value, const std::string& command) {
  return "set \"" + name + "=" + value + "\" && " + command;
}

std::string ProgramCommand(const std::string& path) {
  std::filesystem::path native = std::filesystem::absolute(path);
  return ShellQuote(native.make_preferred().string());
}

}  // namespace tarvo::http::testing
