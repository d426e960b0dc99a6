// The product's own key: HKEY_LOCAL_MACHINE\Software\Tachymark.
#pragma once

namespace tachy {

extern const char kProductKeyPath[];  // "Software\Tachymark"

// Value names.
extern const char kValueLowerLimit[];
extern const char kValueUpperLimit[];
extern const char kValueModel[];
extern const char kValueDefaultClock[];
extern const char kValueEnableClock[];
extern const char kValueColorDepth[];
extern const char kValueLinkAllColorDepths[];
extern const char kValueForce95[];
extern const char kValueForce98[];
extern const char kValueForceNT4[];
extern const char kValueForceNT5[];

// Defaults when the key or a value is missing.
constexpr int kDefaultLowerLimit = 120;
constexpr int kDefaultUpperLimit = 220;
constexpr int kDefaultDefaultClock = 143;
extern const char kDefaultModel[];  // "Voodoo3 2000"
constexpr int kDefaultEnableClock = 0;
constexpr int kDefaultColorDepth = 8;
constexpr int kDefaultLinkAllColorDepths = 0;

// Valid limit ranges.
constexpr int kLowerLimitMin = 100;
constexpr int kLowerLimitMax = 140;
constexpr int kUpperLimitMin = 200;
constexpr int kUpperLimitMax = 240;

}  // namespace tachy
