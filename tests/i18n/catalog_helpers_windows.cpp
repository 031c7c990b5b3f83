#include "catalog_helpers.h"

#include "../common/linux_side.h"

namespace testcatalogs {

bool LinuxSideAvailable() { return tarvo::testing::TLinuxSide::Available(); }
int RunOnLinuxSide(const std::vector<std::string>& argv) { return tarvo::testing::TLinuxSide::Run(argv); }

}  // namespace testcatalogs
