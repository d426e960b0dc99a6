// Which Windows family decides the driver's registry layout, and which
// display-class instances belong to Voodoo3 boards.
#pragma once

#include <stdint.h>

#include "settings/regapi.h"
#include "settings/sysapi.h"

namespace tachy {

// 1 = Windows 9x family and every system that is neither NT 4 nor NT 5,
// 2 = NT 4, 3 = NT 5.
typedef int32_t PlatformKind;
constexpr PlatformKind kPlatform9x = 1;
constexpr PlatformKind kPlatformNT4 = 2;
constexpr PlatformKind kPlatformNT5 = 3;

constexpr int kMaxAdapters = 16;

struct AdapterList {
  int32_t count;      // Voodoo3 instances found, 0..16
  int32_t selected;   // index of the last entry found, -1 when empty
  int32_t instances[kMaxAdapters];  // ascending; -1 after the last
};

// Empties a list: count 0, selected -1, every slot -1.
void ClearAdapterList(AdapterList* list);

enum AdapterProbeResult : int32_t {
  AdapterIsVoodoo3 = 1,
  AdapterIsOther = 2,
  AdapterNoDescription = 3,
  AdapterMissing = 4,
};

// "System\CurrentControlSet\Services\Class\Display\"
extern const char kDisplayClassPrefix[];

// GetVersionExA decision, then the ForceNT4 and ForceNT5 overrides of the
// product key (both always read; ForceNT5 wins). The parsed force values are
// handed back when the pointers are given.
PlatformKind DetectPlatformKind(Registry& reg, SystemInfo& sys,
                                int32_t* forceNT4 = nullptr,
                                int32_t* forceNT5 = nullptr);

// "ForceNT4" or "ForceNT5" from the product key, parsed by the atoi rule
// from a 128-byte buffer; 0 when anything is missing.
int32_t ReadForceFlag(Registry& reg, const char* valueName);

// Opens the instance key with `access` and reads DriverDesc into a buffer of
// `descriptionBytes` (the page: KEY_QUERY_VALUE and 128 bytes; the
// installer: KEY_READ and 256 bytes).
AdapterProbeResult ProbeAdapter(Registry& reg, int32_t instance,
                                uint32_t access = kKeyQueryValue,
                                uint32_t descriptionBytes = 128);

// Probes instances 0..15 and fills the list; returns count.
int32_t BuildAdapterList(Registry& reg, AdapterList* list,
                         uint32_t access = kKeyQueryValue,
                         uint32_t descriptionBytes = 128);

}  // namespace tachy
