#include "platform/install_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "core/scope_guard.h"

namespace tarvo::platform {

namespace {

// What a new folder ends with: everyone may read and enter, only the owner may change.
constexpr mode_t kFolderMode = 0755;
// What it starts with: nobody else can get in between mkdir and fchmod.
constexpr mode_t kMakingMode = 0700;

std::string UserName(uid_t uid) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->pw_name;
  return std::to_string(uid);
}

TInstallFolderResult Failed(TInstallFolderState state, int error) { return {state, error, {}}; }

// Why an existing name could not be opened as a folder without following a link.
TInstallFolderResult NotOpened(const std::string& path, int error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) return Failed(TInstallFolderState::ifLink, 0);
    if (!S_ISDIR(st.st_mode)) return Failed(TInstallFolderState::ifNotAFolder, 0);
  }
  return Failed(TInstallFolderState::ifNotSecured, error);
}

}  // namespace

TInstallFolderResult PrepareInstallFolder(const std::string& folder) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!parent.empty() && !std::filesystem::exists(parent, ec)) {
    std::filesystem::create_directories(parent, ec);
    if (ec) return Failed(TInstallFolderState::ifNotCreated, ec.value());
  }
  const bool made = ::mkdir(path.c_str(), kMakingMode) == 0;
  if (!made && errno != EEXIST) return Failed(TInstallFolderState::ifNotCreated, errno);
  // From here on only the opened folder is looked at: a name swapped for a link meanwhile
  // is refused by O_NOFOLLOW, a swapped folder by its owner.
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return NotOpened(path, errno);
  core::TScopeGuard closing([fd] { ::close(fd); });
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Failed(TInstallFolderState::ifNotSecured, errno);
  if (st.st_uid != ::geteuid()) return {TInstallFolderState::ifForeignOwner, 0, UserName(st.st_uid)};
  const mode_t mode = made ? kFolderMode : (st.st_mode & 07777 & ~static_cast<mode_t>(S_IWGRP | S_IWOTH));
  if (::fchmod(fd, mode) != 0) return Failed(TInstallFolderState::ifNotSecured, errno);
  return {};
}

}  // namespace tarvo::platform
