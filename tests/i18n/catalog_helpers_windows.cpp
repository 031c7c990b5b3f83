#include "catalog_helpers.h"

#include "../common/linux_side.h"

namespace testcatalogs {

bool LinuxSideAvailable() { return tarvo::testing::TLinuxSide::Available(); }
std::string LinuxSideFolder() { return tarvo::testing::TLinuxSide::Folder(); }
int RunOnLinuxSide(const std::vector<std::string>& argv) { return tarvo::testing::TLinuxSide::Run(argv); }

}  // namespace testcatalogs
