#include "installer/platform_detect.h"

namespace tachy {

int32_t IsWin98(uint32_t buildNumber) {
  uint32_t major = (buildNumber >> 24) & 0xFFu;
  uint32_t minor = (buildNumber >> 16) & 0xFFu;
  uint32_t build = buildNumber & 0xFFFFu;
  return (major == 4 && minor >= 10 && build >= 1998) ? 1 : 0;
}

void DetectInstallerPlatform(SystemInfo& sys, InstallerState* state) {
  state->PlatformKind = kPlatform9x;
  state->IsWin98 = 0;
  OsVersion version;
  if (!sys.GetVersion(&version)) return;
  if (version.platformId == kVerPlatformWin32Nt) {
    if (version.majorVersion == 4) {
      state->PlatformKind = kPlatformNT4;
    } else if (version.majorVersion == 5) {
      state->PlatformKind = kPlatformNT5;
    }
    return;
  }
  state->IsWin98 = IsWin98(version.buildNumber);
}

}  // namespace tachy
