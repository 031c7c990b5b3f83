#include "platform/fixed_drives.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace tarvo::platform {

namespace fs = std::filesystem;

namespace {

constexpr char kFirstLetter = 'C';
constexpr char kLastLetter = 'Z';

// File systems that live on a disk; network, memory and pseudo file systems are not drives.
constexpr std::array<std::string_view, 13> kDiskFileSystems{
    "ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs",
    "vfat", "exfat", "ntfs", "ntfs3", "fuseblk"};

bool IsDiskFileSystem(std::string_view type) {
  return std::find(kDiskFileSystems.begin(), kDiskFileSystems.end(), type) != kDiskFileSystems.end();
}

// Mount points under these belong to the operating system's start-up, never to programs.
bool IsBootMount(std::string_view mountPoint) {
  for (std::string_view prefix : {"/boot", "/efi"})
    if (mountPoint == prefix || (mountPoint.starts_with(prefix) && mountPoint[prefix.size()] == '/')) return true;
  return false;
}

// mountinfo writes space, tab, newline and backslash as three octal digits after '\'.
std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string_view digits = s.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  while (pos < line.size()) {
    const std::size_t start = line.find_first_not_of(' ', pos);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(line.find(' ', start), line.size());
    out.push_back(line.substr(start, end - start));
    pos = end;
  }
  return out;
}

bool ParseDevice(std::string_view field, unsigned& major, unsigned& minor) {
  const std::size_t colon = field.find(':');
  if (colon == std::string_view::npos) return false;
  std::istringstream in{std::string(field.substr(0, colon)) + " " + std::string(field.substr(colon + 1))};
  return static_cast<bool>(in >> major >> minor);
}

bool SysfsRemovable(unsigned major, unsigned minor) {
  const fs::path dev = fs::path("/sys/dev/block") / (std::to_string(major) + ":" + std::to_string(minor));
  // A partition has no flag of its own; its disk, one folder up, has.
  for (const fs::path& flag : {dev / "removable", dev / ".." / "removable"}) {
    std::ifstream in(flag);
    int value = 0;
    if (in >> value) return value != 0;
  }
  return false;
}

// /dev/disk/by-label writes unusual characters as \xHH.
std::string UnescapeLabel(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

void AddLabels(std::vector<TDriveInfo>& drives, const std::vector<std::string>& sources) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/dev/disk/by-label", ec)) {
    const fs::path device = fs::canonical(entry.path(), ec);
    if (ec) continue;
    for (std::size_t i = 0; i < drives.size() && i < sources.size(); ++i) {
      const fs::path source = fs::canonical(sources[i], ec);
      if (!ec && source == device) drives[i].Label = UnescapeLabel(entry.path().filename().string());
    }
  }
}

std::vector<TDriveInfo> ParseMounts(std::string_view mountinfo, TRemovableProbe removable,
                                    std::vector<std::string>* sources);

}  // namespace

std::vector<TDriveInfo> ParseDriveOverride(std::string_view list) {
  std::vector<TDriveInfo> drives;
  while (!list.empty()) {
    const std::size_t semi = std::min(list.find(';'), list.size());
    const std::string_view entry = list.substr(0, semi);
    list.remove_prefix(std::min(semi + 1, list.size()));
    if (entry.size() < 3 || entry[1] != '=') continue;
    // An absolute folder of this system ("/srv/c", or on Windows "D:\\sandbox\\c").
    if (entry[2] != '/' && !std::filesystem::path(entry.substr(2)).is_absolute()) continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(entry[0])));
    if (letter < 'A' || letter > kLastLetter) continue;
    if (std::any_of(drives.begin(), drives.end(), [&](const TDriveInfo& d) { return d.Letter == letter; })) continue;
    std::string root(entry.substr(2));
    auto separator = [](char c) { return c == '/' || c == std::filesystem::path::preferred_separator; };
    while (root.size() > 1 && separator(root.back()) && !(root.size() == 3 && root[1] == ':')) root.pop_back();
    drives.push_back(TDriveInfo{letter, std::move(root), {}, {}});
  }
  std::sort(drives.begin(), drives.end(), [](const TDriveInfo& a, const TDriveInfo& b) { return a.Letter < b.Letter; });
  return drives;
}

std::vector<TDriveInfo> ParseMountInfo(std::string_view mountinfo, TRemovableProbe removable) {
  return ParseMounts(mountinfo, removable, nullptr);
}

namespace {

// Also gives the device of each drive, from which its label is found.
std::vector<TDriveInfo> ParseMounts(std::string_view mountinfo, TRemovableProbe removable,
                                    std::vector<std::string>* sources) {
  struct TMount {
    std::string Point, Source;
  };
  std::vector<TMount> mounts;
  std::string rootSource;
  std::set<std::pair<unsigned, unsigned>> seen;
  while (!mountinfo.empty()) {
    const std::size_t nl = std::min(mountinfo.find('\n'), mountinfo.size());
    const std::vector<std::string_view> f = Fields(mountinfo.substr(0, nl));
    mountinfo.remove_prefix(std::min(nl + 1, mountinfo.size()));
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 6 || dash == f.end() || f.end() - dash < 3) continue;
    unsigned major = 0, minor = 0;
    if (!ParseDevice(f[2], major, minor)) continue;
    const std::string point = Unescape(f[4]);
    const std::string source = Unescape(dash[2]);
    if (point == "/") {
      rootSource = source;
      seen.insert({major, minor});
      continue;
    }
    if (!point.starts_with('/') || point.find('\0') != std::string::npos) continue;
    if (f[3] != "/" || !IsDiskFileSystem(dash[1]) || !source.starts_with("/dev/") || IsBootMount(point)) continue;
    if (removable && removable(major, minor)) continue;
    if (!seen.insert({major, minor}).second) continue;
    mounts.push_back(TMount{point, source});
  }
  std::vector<TDriveInfo> drives{TDriveInfo{kFirstLetter, "/", {}, {}}};
  if (sources) sources->assign(1, rootSource);
  for (const TMount& m : mounts) {
    if (drives.back().Letter == kLastLetter) break;
    drives.push_back(TDriveInfo{static_cast<char>(drives.back().Letter + 1), m.Point, {}, {}});
    if (sources) sources->push_back(m.Source);
  }
  return drives;
}

}  // namespace

std::vector<TDriveInfo> MountTableDrives() {
  std::ifstream in("/proc/self/mountinfo");
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<std::string> sources;
  std::vector<TDriveInfo> drives = ParseMounts(text.str(), SysfsRemovable, &sources);
  AddLabels(drives, sources);
  return drives;
}

std::vector<TDriveInfo> FixedDrives() {
  if (const char* list = std::getenv("TARVO_DRIVES")) {
    std::vector<TDriveInfo> drives = ParseDriveOverride(list);
    if (!drives.empty()) return drives;
  }
  return SystemFixedDrives();
}

char DriveOfPath(const std::vector<TDriveInfo>& drives, const std::string& path) {
  char best = 0;
  std::size_t bestLength = 0;
  for (const TDriveInfo& d : drives) {
    const bool rooted = d.Root.ends_with('/') || d.Root.ends_with('\\');  // "/", or a drive root
    const bool inside = rooted ? path.starts_with(d.Root) : path == d.Root || path.starts_with(d.Root + "/") ||
                                path.starts_with(d.Root + "\\");
    if (inside && d.Root.size() >= bestLength) {
      best = d.Letter;
      bestLength = d.Root.size();
    }
  }
  return best;
}

}  // namespace tarvo::platform
