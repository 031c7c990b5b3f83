#include "platform/desktop_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

namespace tarvo::platform {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

// user-dirs.dirs holds shell assignments: XDG_DESKTOP_DIR="$HOME/Desktop". The value is
// either absolute or starts with $HOME; backslash escapes a following character.
std::string Unquote(std::string_view v) {
  if (v.size() < 2 || v.front() != '"') return {};
  std::string out;
  for (std::size_t i = 1; i < v.size(); ++i) {
    char c = v[i];
    if (c == '"') return out;
    if (c == '\\' && i + 1 < v.size()) c = v[++i];
    out += c;
  }
  return {};  // no closing quote
}

}  // namespace

std::string DesktopFromUserDirs(const std::string& content, const std::string& home) {
  std::istringstream in(content);
  std::string line, value;
  constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    std::string_view l(line);
    while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
    if (l.substr(0, kKey.size()) != kKey) continue;
    value = Unquote(l.substr(kKey.size()));  // the last assignment wins, as in the shell
  }
  constexpr std::string_view kHome = "$HOME";
  if (std::string_view(value).substr(0, kHome.size()) == kHome) {
    std::string rest = value.substr(kHome.size());
    if (!rest.empty() && rest.front() != '/') return {};  // "$HOMEX" is no folder of home
    if (home.empty()) return {};
    value = home + rest;
  } else if (!value.empty() && value.front() != '/') {
    return {};
  }
  auto trimmed = [](std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
  };
  if (value.empty() || trimmed(value) == trimmed(home)) return {};
  return value;
}

std::string DesktopFolder() {
  std::string fromEnv = Env("XDG_DESKTOP_DIR");
  if (IsFolder(fromEnv)) return WithSlash(fromEnv);

  std::string home = Env("HOME");
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  if (!config.empty()) {
    std::ifstream file(config + "/user-dirs.dirs");
    if (file) {
      std::ostringstream content;
      content << file.rdbuf();
      std::string desktop = DesktopFromUserDirs(content.str(), home);
      if (IsFolder(desktop)) return WithSlash(desktop);
    }
  }
  if (!home.empty() && IsFolder(home + "/Desktop")) return WithSlash(home + "/Desktop");
  return {};
}

}  // namespace tarvo::platform
