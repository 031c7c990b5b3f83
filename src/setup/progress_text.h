// The progress of a step in words, in the wizard's language: what is being done to which
// archive ("main.zip downloaden (1 van 2)") and how far the step's downloads are ("12,3 MB
// van 30,0 MB - 50,0 KB/s - nog 6 min 12 s", the total growing as each archive's size is
// known) or the unpacking ("bestand 3 van 40: TARVO.EXE"). The window's progress pages and
// the silent mode's progress line both show these.
#pragma once

#include <cstdint>
#include <string>

#include "setup/installer.h"

namespace tarvo::setup {

std::string ProgressPhaseText(const TInstallProgress& progress);
// Empty while no body arrives.
std::string ProgressDetailText(const TInstallProgress& progress);

// A byte count with one decimal in the largest unit that fits ("12,3 MB", "512 bytes").
std::string ByteCountText(std::int64_t bytes);
// A duration in whole seconds ("45 s", "6 min 12 s", "2 u 05 min").
std::string DurationText(int seconds);

}  // namespace tarvo::setup
