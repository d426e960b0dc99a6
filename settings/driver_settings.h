// The driver's clock and swap-interval values and the product values the
// page works with: loading with defaults and clamps, and writing back.
#pragma once

#include <stdint.h>

#include "settings/platform.h"
#include "settings/regapi.h"
#include "settings/sysapi.h"

namespace tachy {

constexpr int kModelBytes = 80;

struct DriverSettings {
  int32_t glideVsyncOff;
  int32_t d3dVsyncOff;
  int32_t enableClock;
  int32_t lowerLimit;
  int32_t upperLimit;
  int32_t currentClock;
  int32_t defaultClock;
  char model[kModelBytes];
};

// What loading and applying work on: the registry, where the two limit
// messages go (and their owner window), the platform and the adapters. None
// of the pointers may be null.
struct SettingsContext {
  Registry* registry;
  MessageSink* messages;
  WindowHandle owner;
  PlatformKind platformKind;
  const AdapterList* adapters;
};

// Fills the record from the product key and the driver's values. The caller
// sets glideVsyncOff, d3dVsyncOff and enableClock to 0 first. May show one
// limit message and write the clamped clock through. Returns false when that
// write-through did not store the clock value (the record keeps the limit
// all the same); true otherwise, also when nothing had to be written. The
// switches it rewrites as they were loaded: a refusal there loses nothing.
bool LoadSettings(const SettingsContext& ctx, DriverSettings* settings);

// What a write left unstored: the clock value itself (Grxclock or
// GraphicsClocking, written or deleted), or anything else.
enum NotStored : int {
  kClockNotStored = 1,
  kOtherNotStored = 2,
};

// mode 1: the page's Apply (also stores EnableClock); any other mode: the
// write-through after a limit reset (driver values only). Returns 0 when
// every write it attempted succeeded (deleting an absent value counts as
// success), else the NotStored bits of what failed. In mode 1 a missing
// product key skips EnableClock quietly; a product key that exists but
// cannot be opened for writing or written counts as a failed write.
int ApplySettings(const SettingsContext& ctx, DriverSettings* settings,
                  int mode);

// Writes or deletes the clock and swap-interval values of one adapter
// (instance unused on NT). Returns the NotStored bits of what failed.
int WriteAdapterSettings(const SettingsContext& ctx, DriverSettings* settings,
                         int32_t instance);

void WriteLowerLimit(Registry& reg, int32_t value);
void WriteUpperLimit(Registry& reg, int32_t value);

}  // namespace tachy
