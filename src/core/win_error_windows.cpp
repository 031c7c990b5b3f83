#include <windows.h>

#include <cerrno>

#include "core/win_error.h"

namespace tarvo::core {

int ErrnoFromWindowsError(unsigned long error) noexcept {
  struct TEntry {
    DWORD Error;
    int Errno;
  };
  static constexpr TEntry kTable[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT},     {ERROR_PATH_NOT_FOUND, ENOENT},   {ERROR_INVALID_DRIVE, ENOENT},
      {ERROR_BAD_NETPATH, ENOENT},        {ERROR_BAD_PATHNAME, ENOENT},     {ERROR_INVALID_NAME, ENOENT},
      {ERROR_DIRECTORY, ENOTDIR},         {ERROR_TOO_MANY_OPEN_FILES, EMFILE}, {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_SHARING_VIOLATION, EACCES},  {ERROR_LOCK_VIOLATION, EACCES},   {ERROR_WRITE_PROTECT, EACCES},
      {ERROR_INVALID_HANDLE, EBADF},      {ERROR_NOT_ENOUGH_MEMORY, ENOMEM}, {ERROR_OUTOFMEMORY, ENOMEM},
      {ERROR_FILE_EXISTS, EEXIST},        {ERROR_ALREADY_EXISTS, EEXIST},   {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},   {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
      {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},   {ERROR_NOT_SAME_DEVICE, EXDEV},   {ERROR_BUSY, EBUSY},
      {ERROR_INVALID_PARAMETER, EINVAL},  {ERROR_NEGATIVE_SEEK, EINVAL},    {ERROR_BROKEN_PIPE, EPIPE},
      {ERROR_CANT_RESOLVE_FILENAME, ELOOP},
  };
  for (const TEntry& e : kTable)
    if (e.Error == error) return e.Errno;
  return EIO;
}

}  // namespace tarvo::core
