// What the installation tests share: one nginx serving every scenario's archives (made by
// zip and 7z), with an access log, and a sandbox per test (drive C, desktop) that the
// environment points at.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "../common/read_file.h"
#include "real_peers.h"

namespace tarvo::setup::testing {

// Scenarios below the server's root, each a folder "<name>/tarvo/Files/":
//   ok        main.zip (zip), upgrade.zip (7z, holding an entry "upgrade.zip"), data.zip (zip)
//   missing   nothing (404 for every archive)
//   truncated main.zip cut in half
//   damaged   main.zip whose BROKEN.TXT fails its CRC check
//   nodata    main.zip and upgrade.zip, no data.zip
//   nocontent main.zip answered with 204 No Content
//   big       main.zip of 8 MiB (not a ZIP): a download long enough to cancel
//   slow      the same, sent at 20 KB/s (nginx's limit_rate): minutes, unless stopped
//   zeros     main.zip of a few KB holding BIG.DAT, 3 MiB of zeros
class TArchiveServer {
public:
  static TArchiveServer& Get();
  bool Ok() const { return FNginx && FNginx->Ok(); }
  std::string Base(const std::string& scenario) const;
  // How many requests the server saw whose line contains text.
  int Requests(const std::string& text) const;
  const std::string& Root() const { return FRoot.Text(); }

private:
  TArchiveServer();
  http::testing::TTempDir FRoot{http::testing::TTempPlace::Shared};
  std::unique_ptr<http::testing::TNginxPeer> FNginx;
};

// A fresh folder with a drive "c" and a "desktop", removed afterwards; sets
// XDG_DESKTOP_DIR and TARVO_DOWNLOAD_BASE (to the scenario) for the test.
class TSandbox {
public:
  explicit TSandbox(const std::string& scenario);
  ~TSandbox();
  std::string Drive() const { return FDir.Text() + "/c/"; }
  std::string Install() const { return Drive() + "TARVO/"; }
  std::string Desktop() const { return FDir.Text() + "/desktop/"; }
  const std::string& Path() const { return FDir.Text(); }

private:
  http::testing::TTempDir FDir{http::testing::TTempPlace::Shared};
};

using tarvo::testing::ReadFile;
// Whether text is pattern, each '*' in it standing for any text (a port, a system's error text).
bool Matches(std::string_view pattern, std::string_view text);
void WriteFile(const std::string& path, const std::string& content);
// The silent mode's output without the date and time it puts before every line.
std::string Untimed(std::string_view text);
// Files (relative names) below folder, sorted, one per line.
std::string Tree(const std::string& folder);

}  // namespace tarvo::setup::testing
