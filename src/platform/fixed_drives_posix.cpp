#include "platform/fixed_drives.h"

namespace tarvo::platform {

std::vector<TDriveInfo> SystemFixedDrives() { return MountTableDrives(); }

}  // namespace tarvo::platform
