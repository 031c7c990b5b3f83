#include "unzip/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <string_view>

#include "core/exception.h"
#include "platform/file_attributes.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

int CreateAt(int folder, const char* name, mode_t mode) {
  int fd;
  do fd = ::openat(folder, name, kCreateFlags, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

char* AppendDecimal(char* p, unsigned long value) noexcept {
  char digits[20];
  int n = 0;
  do digits[n++] = static_cast<char>('0' + value % 10);
  while ((value /= 10) != 0);
  while (n > 0) *p++ = digits[--n];
  return p;
}

}  // namespace

unsigned OutputFileMode(std::uint32_t attributes, long unixMode) noexcept {
  mode_t mode = 0666;
  if (attributes & platform::faReadOnly) mode &= ~static_cast<mode_t>(0222);
  if (unixMode >= 0) mode |= static_cast<mode_t>(unixMode) & 0111;
  return mode;
}

// A name no archive entry is likely to have and that fits whatever the entry's name length:
// ".tarvo-PID-N.part". A temporary name is gone again once its file is committed, so the
// next replacement takes the same name (N = 0) and the folder sees one name come and go
// rather than thousands; N counts up only past names in use at the moment.
void TVmOutputFile::MakeTemporaryName(unsigned n) noexcept {
  static const unsigned long pid = static_cast<unsigned long>(::getpid());
  char* p = FTempName;
  std::memcpy(p, ".tarvo-", 7);
  p = AppendDecimal(p + 7, pid);
  *p++ = '-';
  p = AppendDecimal(p, n);
  std::memcpy(p, ".part", 6);
}

TVmOutputFile::TVmOutputFile(const TVmFolder& folder, std::string_view name, const std::string& displayPath,
                             std::uint32_t attributes, long unixMode, const TVmFileIdentity& protectedFile)
    : FFolder(folder.Handle), FName(name), FAttributes(attributes) {
  const mode_t mode = OutputFileMode(attributes, unixMode);
  // Files come in runs: a fresh extraction creates every name, a second archive over the
  // first (or an archive repeating a name) replaces them. When the last file replaced one,
  // the name is looked at first; otherwise the exclusive create is tried first. A wrong
  // guess costs one cheap call either way, while a create that fails on an existing name
  // is the dearest call of a replacement.
  thread_local bool lastReplaced = false;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (attempt > 0 || !lastReplaced) {
      FHandle = CreateAt(static_cast<int>(FFolder), FName.c_str(), mode);
      if (FHandle >= 0) {
        lastReplaced = false;
        return;
      }
      if (errno != EEXIST) throw core::EFCreateError(displayPath, errno);
    }

    struct stat st {};
    if (::fstatat(static_cast<int>(FFolder), FName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) continue;  // not there (or removed meanwhile): create it
      throw core::EFCreateError(displayPath, errno);
    }
    if (S_ISDIR(st.st_mode)) throw core::EFCreateError(displayPath, EISDIR);
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) throw EVmUnsafePath();
    if (protectedFile == TVmFileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true})
      throw EVmUnsafePath();
    // Read-only files are not replaced, as on the systems the archives come from. A link
    // is replaced by the file (the rename takes the link's place), never written through.
    if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) throw core::EFCreateError(displayPath, EACCES);

    for (unsigned tries = 0; tries < 100; ++tries) {
      MakeTemporaryName(tries);
      FHandle = CreateAt(static_cast<int>(FFolder), FTempName, mode);
      if (FHandle >= 0) {
        lastReplaced = true;
        return;
      }
      if (errno != EEXIST) break;
    }
    FTempName[0] = '\0';
    throw core::EFCreateError(displayPath, errno);
  }
  throw core::EFCreateError(displayPath, EEXIST);
}

void TVmOutputFile::WriteHole(std::uint64_t count) {
  if (count == 0) return;
  if (count > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - FWritten)
    throw core::EInOutError(EFBIG);
  if (::lseek(static_cast<int>(FHandle), static_cast<off_t>(count), SEEK_CUR) < 0) throw core::EInOutError(errno);
  FWritten += count;
  FEndsInHole = true;
}

void TVmOutputFile::Commit(std::int64_t modificationTime) {
  if (FEndsInHole && ::ftruncate(static_cast<int>(FHandle), static_cast<off_t>(FWritten)) != 0) {
    int err = errno;
    Discard();
    throw core::EInOutError(err);
  }
  if (modificationTime >= 0) {
    struct timespec times[2];
    times[0].tv_sec = static_cast<std::time_t>(modificationTime);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    ::futimens(static_cast<int>(FHandle), times);  // a file system without times still gets the content
  }
  int handle = static_cast<int>(FHandle);
  FHandle = -1;
  if (::close(handle) != 0 && errno != EINTR) {
    int err = errno;
    FHandle = -2;  // closed: Discard only removes the name
    Discard();
    throw core::EInOutError(err);
  }
  if (FTempName[0] != '\0') {
    // Swapping the two names and then removing the old file keeps a complete file at the
    // name throughout, like a rename over it, without the rename's forced write-back of
    // the new data (ext4 starts it for every replaced file, which makes thousands of
    // replacements crawl). File systems without the swap get the plain rename.
    if (::renameat2(static_cast<int>(FFolder), FTempName, static_cast<int>(FFolder), FName.c_str(), RENAME_EXCHANGE) == 0) {
      ::unlinkat(static_cast<int>(FFolder), FTempName, 0);
    } else if (::renameat(static_cast<int>(FFolder), FTempName, static_cast<int>(FFolder), FName.c_str()) != 0) {
      int err = errno;
      FHandle = -2;
      Discard();
      throw core::EInOutError(err);
    }
    FTempName[0] = '\0';
  }
  FFolder = -1;
}

void TVmOutputFile::Discard() noexcept {
  if (FFolder < 0) return;
  if (FHandle >= 0) ::close(static_cast<int>(FHandle));
  FHandle = -1;
  ::unlinkat(static_cast<int>(FFolder), FTempName[0] == '\0' ? FName.c_str() : FTempName, 0);
  FFolder = -1;
}

}  // namespace tarvo::unzip
