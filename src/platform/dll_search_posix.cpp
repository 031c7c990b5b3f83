#include "platform/dll_search.h"

namespace tarvo::platform {

void RestrictDllSearch() noexcept {}

}  // namespace tarvo::platform
