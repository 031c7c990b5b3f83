#include "install_sandbox.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace tarvo::setup::testing {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

bool Matches(std::string_view pattern, std::string_view text) {
  const std::size_t star = pattern.find('*');
  if (star == std::string_view::npos) return pattern == text;
  if (text.substr(0, star) != pattern.substr(0, star)) return false;
  for (std::size_t at = star; at <= text.size(); ++at)
    if (Matches(pattern.substr(star + 1), text.substr(at))) return true;
  return false;
}

std::string Tree(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.insert(fs::relative(it->path(), folder).string() + (it->is_directory() ? "/" : ""));
  std::string out;
  for (const std::string& n : names) out += n + "\n";
  return out;
}

namespace {

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

TArchiveServer& TArchiveServer::Get() {
  static TArchiveServer server;
  return server;
}

TArchiveServer::TArchiveServer() {
  const std::string root = FRoot.Text();
  const std::string src = root + "/src";
  auto files = [&](const std::string& scenario) { return root + "/" + scenario + "/tarvo/Files/"; };
  for (const char* s : {"ok", "missing", "truncated", "damaged", "nodata", "nocontent", "big", "slow", "zeros"}) fs::create_directories(files(s));

  WriteFile(src + "/main/TARVO.EXE", "MZ T.Arvo\n");
  WriteFile(src + "/main/VERSION.TXT", "1.0\n");
  WriteFile(src + "/main/HELP/TARVO.HLP", std::string(200000, 'h'));  // a stored folder: unpacked flat
  WriteFile(src + "/upgrade/VERSION.TXT", "1.1\n");
  WriteFile(src + "/upgrade/upgrade.zip", "an entry named like its archive\n");
  WriteFile(src + "/upgrade/SETUP.INI", "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=XXX\r\nKASSA=2\r\n");
  WriteFile(src + "/data/WINKEL.DAT", std::string(4096, '\0'));
  WriteFile(src + "/data/KLANTEN.CSV", "klant;naam\n");
  WriteFile(src + "/damaged/GOOD.TXT", "good\n");
  WriteFile(src + "/damaged/BROKEN.TXT", "BROKENCONTENT\n");

  Shell("cd '" + src + "/main' && zip -q -r '" + files("ok") + "main.zip' TARVO.EXE VERSION.TXT HELP");
  Shell("cd '" + src + "/upgrade' && 7z a -tzip -bd '" + files("ok") + "upgrade.zip' VERSION.TXT SETUP.INI upgrade.zip >/dev/null");
  Shell("cd '" + src + "/data' && zip -q '" + files("ok") + "data.zip' WINKEL.DAT KLANTEN.CSV");
  Shell("cd '" + src + "/damaged' && zip -q -0 '" + files("damaged") + "main.zip' GOOD.TXT BROKEN.TXT");
  for (const char* f : {"main.zip", "upgrade.zip"}) fs::copy_file(files("ok") + f, files("nodata") + f);

  WriteFile(files("big") + "main.zip", std::string(std::size_t{8} << 20, 'z'));
  fs::copy_file(files("big") + "main.zip", files("slow") + "main.zip");
  WriteFile(src + "/zeros/BIG.DAT", std::string(std::size_t{3} << 20, '\0'));
  Shell("cd '" + src + "/zeros' && zip -q -9 '" + files("zeros") + "main.zip' BIG.DAT");

  std::string main = ReadFile(files("ok") + "main.zip");
  WriteFile(files("truncated") + "main.zip", main.substr(0, main.size() / 2));
  std::string damaged = ReadFile(files("damaged") + "main.zip");
  damaged[damaged.find("BROKENCONTENT")] = 'b';
  WriteFile(files("damaged") + "main.zip", damaged);

  FNginx = std::make_unique<http::testing::TNginxPeer>(
      root, "    access_log " + root + "/access.log;\n"
            "    location = /nocontent/tarvo/Files/main.zip { return 204; }\n"
            "    location /slow/ { limit_rate 20k; }\n");
}

std::string TArchiveServer::Base(const std::string& scenario) const {
  return FNginx->Base() + "/" + scenario + "/tarvo/Files/";
}

int TArchiveServer::Requests(const std::string& text) const {
  // nginx writes a request's line once the reply has gone out, a moment after the client
  // has it: read the log once it has stopped growing.
  std::string now = ReadFile(FRoot.Text() + "/access.log"), before;
  for (int i = 0; i < 50 && now != before; ++i) {
    before = std::move(now);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    now = ReadFile(FRoot.Text() + "/access.log");
  }
  std::istringstream log(now);
  int count = 0;
  for (std::string line; std::getline(log, line);) count += line.find(text) != std::string::npos;
  return count;
}

std::string Untimed(std::string_view text) {
  // "YYYY-MM-DD HH:MM:SS " at the start of a line.
  auto stamped = [&](std::size_t at) {
    if (at + 20 > text.size()) return false;
    for (std::size_t i = 0; i < 20; ++i) {
      const char c = text[at + i];
      const char want = "0000-00-00 00:00:00 "[i];
      if (want == '0' ? !std::isdigit(static_cast<unsigned char>(c)) : c != want) return false;
    }
    return true;
  };
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    if ((at == 0 || text[at - 1] == '\n') && stamped(at)) at += 20;
    if (at < text.size()) out += text[at++];
  }
  return out;
}

TSandbox::TSandbox(const std::string& scenario) {
  fs::create_directories(Drive());
  fs::create_directories(Desktop());
  ::setenv("XDG_DESKTOP_DIR", Desktop().c_str(), 1);
  std::string base = scenario.find("://") != std::string::npos ? scenario : TArchiveServer::Get().Base(scenario);
  ::setenv("TARVO_DOWNLOAD_BASE", base.c_str(), 1);
}

TSandbox::~TSandbox() {
  ::unsetenv("XDG_DESKTOP_DIR");
  ::unsetenv("TARVO_DOWNLOAD_BASE");
}

}  // namespace tarvo::setup::testing
