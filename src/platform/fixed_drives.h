// The drives the wizard may install on. Windows names fixed disks by letter; here the
// fixed local file systems of the mount table get letters from C, the root file system
// first. TARVO_DRIVES ("C=/srv/c;D=/mnt/data") replaces the detected list, which the
// installation tests use to work inside a sandbox.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvo::platform {

struct TDriveInfo {
  char Letter;        // 'C' .. 'Z'
  std::string Root;   // the mount point (or the override's folder), no trailing separator except "/"
  std::string Label;  // the file system's volume label, empty when it has none
  std::string ShellName;  // the shell's name for it ("Local Disk (C:)"), empty without a shell
};

// The fixed drives, sorted by letter: the TARVO_DRIVES override when it is set and names
// at least one valid drive, else the mount table of this process.
std::vector<TDriveInfo> FixedDrives();

// The fixed disks the system reports: on Windows its drive letters of fixed disks (with the
// shell's names), elsewhere MountTableDrives().
std::vector<TDriveInfo> SystemFixedDrives();

// The fixed drives of this process's mount table (Linux).
std::vector<TDriveInfo> MountTableDrives();

// The parts behind FixedDrives, for those who hold the text themselves.
// Entries are LETTER=ABSOLUTE_PATH separated by ';'; malformed entries and repeated letters
// are skipped (the first one wins).
std::vector<TDriveInfo> ParseDriveOverride(std::string_view list);
// Lines of /proc/self/mountinfo. A file system counts as a fixed drive when it is a whole
// mount (not a bind of a subfolder) of a block device with a disk file system type, the
// device is not removable, and it is not the boot partition; each device once. The root
// file system is always C, whatever it is mounted from (a container's overlay too).
using TRemovableProbe = bool (*)(unsigned major, unsigned minor);
std::vector<TDriveInfo> ParseMountInfo(std::string_view mountinfo, TRemovableProbe removable);

// The drive whose root holds path (the longest matching root), or 0.
char DriveOfPath(const std::vector<TDriveInfo>& drives, const std::string& path);

}  // namespace tarvo::platform
