#include "settings/driver_settings.h"

#include "settings/product_key.h"
#include "settings/text.h"

namespace tachy {

namespace {

// Every value loaded here is queried into a buffer of this size; data that
// does not fit counts as missing.
constexpr uint32_t kValueBytes = 256;

constexpr uint32_t kWriteAccess = kKeyCreateSubKey | kKeySetValue;

const char kValueGrxclock[] = "Grxclock";
const char kValueGraphicsClocking[] = "GraphicsClocking";
const char kValueGlideSwap[] = "FX_GLIDE_SWAPINTERVAL";
const char kValueD3dSwap[] = "SSTH3_SWAPINTERVAL";

const char kNT4Device0[] = "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
const char kNT5Device0[] = "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0";
const char kNTGlide[] = "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";

// The two limit messages differ only in their words: "below the Lower" /
// "Lower" and "above the Upper" / "Upper". One text serves both, which keeps TACHPAGE.DLL small.
const char kLimitMessage[] =
    "The Graphics Clock in presently set to %d Mhz which is %s "
    "Limit of %d Mhz and will be reset to the %s Limit now. You will need "
    "to restart Windows after exiting Display Properties.";
const char kMessageCaption[] = "Tachy";

bool IsNT(PlatformKind kind) {
  return kind == kPlatformNT4 || kind == kPlatformNT5;
}

// The driver's keys for one adapter. On NT 4 and NT 5 there is one Device0
// and the instance is not used; every other kind uses the 9x layout under
// the display class.
struct DriverKeys {
  char clock[96];  // also the NT Device0 key
  char glide[96];
  char d3d[96];    // 9x only
};

void GetDriverKeys(PlatformKind kind, int32_t instance, DriverKeys* keys) {
  if (IsNT(kind)) {
    CopyText(keys->clock, sizeof keys->clock,
             kind == kPlatformNT4 ? kNT4Device0 : kNT5Device0);
    CopyText(keys->glide, sizeof keys->glide, kNTGlide);
    keys->d3d[0] = 0;
    return;
  }
  int n = static_cast<int>(instance);
  FormatText(keys->clock, sizeof keys->clock, "%s%4.4i\\DEFAULT",
             kDisplayClassPrefix, n);
  FormatText(keys->glide, sizeof keys->glide, "%s%4.4i\\Glide",
             kDisplayClassPrefix, n);
  FormatText(keys->d3d, sizeof keys->d3d, "%s%4.4i\\D3D", kDisplayClassPrefix,
             n);
}

// Reads a product value as a number by the atoi rule; `fallback` when the
// key is not open or the value is missing or too large.
int32_t ReadNumber(Registry& reg, RegKey key, bool open, const char* name,
                   int32_t fallback) {
  if (!open) return fallback;
  char text[kValueBytes];
  if (QueryText(reg, key, name, text, sizeof text) != kErrorSuccess)
    return fallback;
  return ParseDecimal(text);
}

// Presence of a swap-interval value: only whether the query succeeds counts.
int32_t ReadSwitch(Registry& reg, const char* keyPath, const char* name) {
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, keyPath, kKeyQueryValue, &key) !=
      kErrorSuccess)
    return 0;
  unsigned char data[kValueBytes];
  uint32_t size = sizeof data;
  long result = reg.QueryValue(key, name, nullptr, data, &size);
  reg.CloseKey(key);
  return result == kErrorSuccess ? 1 : 0;
}

// The driver's current clock; `fallback` when it cannot be read.
int32_t ReadClock(Registry& reg, PlatformKind kind, const char* keyPath,
                  int32_t fallback) {
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, keyPath, kKeyQueryValue, &key) !=
      kErrorSuccess)
    return fallback;
  int32_t clock = fallback;
  if (IsNT(kind)) {
    // GraphicsClocking: the first four bytes of the data, little-endian,
    // whatever the stored type. Data shorter than four bytes holds no whole
    // number and counts as unreadable.
    unsigned char data[kValueBytes];
    uint32_t size = sizeof data;
    if (reg.QueryValue(key, kValueGraphicsClocking, nullptr, data, &size) ==
            kErrorSuccess &&
        size >= 4) {
      uint32_t number = static_cast<uint32_t>(data[0]) |
                        (static_cast<uint32_t>(data[1]) << 8) |
                        (static_cast<uint32_t>(data[2]) << 16) |
                        (static_cast<uint32_t>(data[3]) << 24);
      clock = static_cast<int32_t>(number);
    }
  } else {
    char text[kValueBytes];
    if (QueryText(reg, key, kValueGrxclock, text, sizeof text) ==
        kErrorSuccess)
      clock = ParseDecimal(text);
  }
  reg.CloseKey(key);
  return clock;
}

// Opens or creates a driver key (its class string is the value's name) and
// sets the value, or deletes it when `data` is null. True when it was
// stored; deleting an absent value is success.
bool StoreDriverValue(Registry& reg, const char* path, const char* name,
                      uint32_t type, const void* data, uint32_t size) {
  RegKey key = 0;
  if (reg.CreateKey(kHkeyLocalMachine, path, name, kWriteAccess, &key) !=
      kErrorSuccess)
    return false;
  long result = data ? reg.SetValue(key, name, type, data, size)
                     : reg.DeleteValue(key, name);
  reg.CloseKey(key);
  return result == kErrorSuccess || (!data && result == kErrorFileNotFound);
}

void WriteLimit(Registry& reg, const char* name, int32_t value) {
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, kProductKeyPath, kWriteAccess, &key) !=
      kErrorSuccess)
    return;  // the page never creates the product key
  SetDecimal(reg, key, name, value);
  reg.CloseKey(key);
}

// One clock limit: read, clamped into its range, and written back only when
// the clamp changed it.
int32_t LoadLimit(Registry& reg, RegKey product, bool open, const char* name,
                  int32_t fallback, int32_t min, int32_t max) {
  const int32_t value = ReadNumber(reg, product, open, name, fallback);
  const int32_t clamped = value < min ? min : value > max ? max : value;
  if (clamped != value) WriteLimit(reg, name, clamped);
  return clamped;
}

// The adapter whose values are loaded: the last Voodoo3 found. False when
// the list holds none.
bool SelectedInstance(const AdapterList* list, int32_t* instance) {
  if (!list || list->selected < 0 || list->selected >= kMaxAdapters)
    return false;
  int32_t n = list->instances[list->selected];
  if (n < 0) return false;
  *instance = n;
  return true;
}

}  // namespace

void WriteLowerLimit(Registry& reg, int32_t value) {
  WriteLimit(reg, kValueLowerLimit, value);
}

void WriteUpperLimit(Registry& reg, int32_t value) {
  WriteLimit(reg, kValueUpperLimit, value);
}

bool LoadSettings(const SettingsContext& ctx, DriverSettings* settings) {
  Registry& reg = *ctx.registry;

  // The product values; each takes its default when the key or the value
  // is missing.
  RegKey product = 0;
  bool open = reg.OpenKey(kHkeyLocalMachine, kProductKeyPath, kKeyQueryValue,
                          &product) == kErrorSuccess;

  settings->lowerLimit = LoadLimit(reg, product, open, kValueLowerLimit,
                                   kDefaultLowerLimit, kLowerLimitMin,
                                   kLowerLimitMax);
  settings->upperLimit = LoadLimit(reg, product, open, kValueUpperLimit,
                                   kDefaultUpperLimit, kUpperLimitMin,
                                   kUpperLimitMax);

  settings->defaultClock =
      ReadNumber(reg, product, open, kValueDefaultClock, kDefaultDefaultClock);

  // A stored model longer than the record holds is cut to 79 characters.
  char text[kValueBytes];
  if (open &&
      QueryText(reg, product, kValueModel, text, sizeof text) == kErrorSuccess)
    CopyText(settings->model, sizeof settings->model, text);
  else
    CopyText(settings->model, sizeof settings->model, kDefaultModel);

  settings->enableClock =
      ReadNumber(reg, product, open, kValueEnableClock, kDefaultEnableClock);

  if (open) reg.CloseKey(product);

  // The driver's values: on the 9x family those of the last adapter found.
  int32_t instance = 0;
  if (!IsNT(ctx.platformKind) && !SelectedInstance(ctx.adapters, &instance)) {
    // No Voodoo3 board: nothing to read and nothing to write through. The
    // page starts from the stock clock, kept inside the limits the slider
    // offers, with both switches off.
    settings->glideVsyncOff = 0;
    settings->d3dVsyncOff = 0;
    int32_t clock = settings->defaultClock;
    if (clock < settings->lowerLimit)
      clock = settings->lowerLimit;
    else if (clock > settings->upperLimit)
      clock = settings->upperLimit;
    settings->currentClock = clock;
    return true;
  }

  DriverKeys keys;
  GetDriverKeys(ctx.platformKind, instance, &keys);
  settings->currentClock =
      ReadClock(reg, ctx.platformKind, keys.clock, settings->defaultClock);

  // Both switches are loaded before the clock is checked, so that a clamp's
  // write-through writes them back as they were instead of deleting them.
  settings->glideVsyncOff = ReadSwitch(reg, keys.glide, kValueGlideSwap);
  settings->d3dVsyncOff =
      IsNT(ctx.platformKind) ? 0 : ReadSwitch(reg, keys.d3d, kValueD3dSwap);

  // The words that tell the two limit messages apart.
  static const char* const kLimitWords[2][2] = {{"below the Lower", "Lower"},
                                                {"above the Upper", "Upper"}};
  int side = -1;
  int32_t limit = 0;
  if (settings->currentClock < settings->lowerLimit) {
    side = 0;
    limit = settings->lowerLimit;
  } else if (settings->currentClock > settings->upperLimit) {
    side = 1;
    limit = settings->upperLimit;
  }
  if (side >= 0) {
    const char* const* words = kLimitWords[side];
    char message[512];
    FormatText(message, sizeof message, kLimitMessage,
               static_cast<int>(settings->currentClock), words[0],
               static_cast<int>(limit), words[1]);
    ctx.messages->Show(ctx.owner, message, kMessageCaption, kMbOk);
    settings->currentClock = limit;
    // The switches go back as they were loaded: only a clock that was not
    // stored goes against what the message has just said.
    return (ApplySettings(ctx, settings, 2) & kClockNotStored) == 0;
  }
  return true;
}

int WriteAdapterSettings(const SettingsContext& ctx, DriverSettings* settings,
                         int32_t instance) {
  Registry& reg = *ctx.registry;
  const bool nt = IsNT(ctx.platformKind);

  if (settings->currentClock < settings->lowerLimit)
    settings->currentClock = settings->lowerLimit;
  else if (settings->currentClock > settings->upperLimit)
    settings->currentClock = settings->upperLimit;

  DriverKeys keys;
  GetDriverKeys(ctx.platformKind, instance, &keys);

  // The clock: decimal text on the 9x family, a little-endian DWORD on NT;
  // removed when the adjustment is off.
  const uint32_t clock = static_cast<uint32_t>(settings->currentClock);
  const unsigned char dword[4] = {static_cast<unsigned char>(clock),
                                  static_cast<unsigned char>(clock >> 8),
                                  static_cast<unsigned char>(clock >> 16),
                                  static_cast<unsigned char>(clock >> 24)};
  char text[24];
  const uint32_t textBytes = static_cast<uint32_t>(
      FormatDecimal(text, sizeof text, settings->currentClock) + 1);
  const void* clockData = nt ? static_cast<const void*>(dword) : text;
  int failed = 0;
  if (!StoreDriverValue(reg, keys.clock,
                        nt ? kValueGraphicsClocking : kValueGrxclock,
                        nt ? kRegDword : kRegSz,
                        settings->enableClock ? clockData : nullptr,
                        nt ? 4 : textBytes))
    failed = kClockNotStored;

  // A switch that is on is the text "0". NT keeps a second swap interval
  // under Device0 that follows the Glide switch; the 9x family has the
  // Direct3D one per adapter.
  const int32_t swapOn = nt ? settings->glideVsyncOff : settings->d3dVsyncOff;
  const bool glideStored =
      StoreDriverValue(reg, keys.glide, kValueGlideSwap, kRegSz,
                       settings->glideVsyncOff ? "0" : nullptr, 2);
  const bool swapStored =
      StoreDriverValue(reg, nt ? keys.clock : keys.d3d, kValueD3dSwap, kRegSz,
                       swapOn ? "0" : nullptr, 2);
  if (!glideStored || !swapStored) failed |= kOtherNotStored;
  return failed;
}

int ApplySettings(const SettingsContext& ctx, DriverSettings* settings,
                  int mode) {
  Registry& reg = *ctx.registry;
  int failed = 0;

  if (mode == 1) {
    // EnableClock goes into the product key only when the key exists: a
    // missing key (installer never run) is skipped quietly. A key that
    // exists but cannot be opened for writing or written is reported as a
    // failure like any driver write.
    RegKey key = 0;
    long result =
        reg.OpenKey(kHkeyLocalMachine, kProductKeyPath, kWriteAccess, &key);
    if (result == kErrorSuccess) {
      if (SetDecimal(reg, key, kValueEnableClock, settings->enableClock) !=
          kErrorSuccess)
        failed = kOtherNotStored;
      reg.CloseKey(key);
    } else if (result != kErrorFileNotFound) {
      failed = kOtherNotStored;
    }
  }

  if (IsNT(ctx.platformKind)) {
    failed |= WriteAdapterSettings(ctx, settings, 0);
  } else if (ctx.adapters && ctx.adapters->selected != -1) {
    for (int i = 0; i < kMaxAdapters; ++i) {
      int32_t instance = ctx.adapters->instances[i];
      if (instance < 0) break;
      failed |= WriteAdapterSettings(ctx, settings, instance);
    }
  }
  return failed;
}

}  // namespace tachy
