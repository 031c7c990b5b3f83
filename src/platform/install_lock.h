// One installation at a time per install folder: a second installer for the same TARVO
// folder (the window or the silent mode) is told so at once instead of unpacking over the
// first. Installs into other folders (other drives) run side by side.
//   Windows  a named mutex in the session ("Local\"), keyed by the folder's full path
//   Linux    flock on the folder that holds TARVO (the drive's root), never created
// The lock goes with the object, or with the process however it ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tarvo::platform {

class TInstallLock {
public:
  // The lock of the install folder (a trailing separator is allowed); nullptr when another
  // program holds it. A folder whose parent is missing gets a lock that holds nothing: the
  // installation fails on its own there.
  static std::unique_ptr<TInstallLock> TryTake(const std::string& installFolder);
  ~TInstallLock();
  TInstallLock(const TInstallLock&) = delete;
  TInstallLock& operator=(const TInstallLock&) = delete;

private:
  explicit TInstallLock(std::intptr_t handle) : FHandle(handle) {}
  std::intptr_t FHandle;  // a descriptor or a mutex HANDLE; -1 for none
};

}  // namespace tarvo::platform
