// The installer's own platform decision: the Windows family from
// GetVersionExA, and whether a 9x system is Windows 98 or later.
#pragma once

#include <stdint.h>

#include "installer/state.h"
#include "settings/sysapi.h"

namespace tachy {

// On the 9x family dwBuildNumber carries major.minor in its high word (major
// in the high byte) and the build in its low word. Windows 98 is version 4,
// minor 10 or more, build 1998 or more (4.10.1998 is the first; 4.90 passes).
int32_t IsWin98(uint32_t buildNumber);

// GetVersionExA failing: platform 1, not Windows 98. NT: major 4 gives 2,
// 5 gives 3, anything else 1; IsWin98 0. Any other platform id: 1, with
// IsWin98 from the build number.
void DetectInstallerPlatform(SystemInfo& sys, InstallerState* state);

}  // namespace tachy
