#include "settings/platform.h"

#include "settings/product_key.h"
#include "settings/text.h"

namespace tachy {

const char kDisplayClassPrefix[] =
    "System\\CurrentControlSet\\Services\\Class\\Display\\";

namespace {

// The force values are read into a buffer of this size; longer data counts
// as missing.
constexpr uint32_t kForceValueBytes = 128;

// The largest DriverDesc buffer any caller asks for.
constexpr uint32_t kMaxDescriptionBytes = 256;

}  // namespace

void ClearAdapterList(AdapterList* list) {
  if (!list) return;
  list->count = 0;
  list->selected = -1;
  for (int i = 0; i < kMaxAdapters; ++i) list->instances[i] = -1;
}

int32_t ReadForceFlag(Registry& reg, const char* valueName) {
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, kProductKeyPath, kKeyQueryValue, &key) !=
      kErrorSuccess)
    return 0;
  char text[kForceValueBytes];
  int32_t result = 0;
  if (QueryText(reg, key, valueName, text, sizeof text) == kErrorSuccess)
    result = ParseDecimal(text);
  reg.CloseKey(key);
  return result;
}

PlatformKind DetectPlatformKind(Registry& reg, SystemInfo& sys,
                                int32_t* forceNT4, int32_t* forceNT5) {
  PlatformKind kind = kPlatform9x;
  OsVersion version;
  version.majorVersion = 0;
  version.minorVersion = 0;
  version.buildNumber = 0;
  version.platformId = 0;
  if (sys.GetVersion(&version) && version.platformId == kVerPlatformWin32Nt) {
    if (version.majorVersion == 4)
      kind = kPlatformNT4;
    else if (version.majorVersion == 5)
      kind = kPlatformNT5;
  }
  // Both overrides are always read, NT 4 first, so NT 5 wins when both are
  // set. Neither can select the 9x layout.
  int32_t nt4 = ReadForceFlag(reg, kValueForceNT4);
  if (nt4 != 0) kind = kPlatformNT4;
  int32_t nt5 = ReadForceFlag(reg, kValueForceNT5);
  if (nt5 != 0) kind = kPlatformNT5;
  if (forceNT4) *forceNT4 = nt4;
  if (forceNT5) *forceNT5 = nt5;
  return kind;
}

AdapterProbeResult ProbeAdapter(Registry& reg, int32_t instance,
                                uint32_t access, uint32_t descriptionBytes) {
  char path[96];
  FormatText(path, sizeof path, "%s%4.4i", kDisplayClassPrefix,
             static_cast<int>(instance));
  RegKey key = 0;
  if (reg.OpenKey(kHkeyLocalMachine, path, access, &key) != kErrorSuccess)
    return AdapterMissing;
  // A caller asking for more than the largest buffer gets the largest one:
  // a description that does not fit still counts as unreadable.
  if (descriptionBytes > kMaxDescriptionBytes)
    descriptionBytes = kMaxDescriptionBytes;
  char description[kMaxDescriptionBytes];
  AdapterProbeResult result;
  if (QueryText(reg, key, "DriverDesc", description, descriptionBytes) !=
      kErrorSuccess)
    result = AdapterNoDescription;
  else if (FindText(description, "Voodoo3") || FindText(description, "voodoo3"))
    result = AdapterIsVoodoo3;
  else
    result = AdapterIsOther;
  reg.CloseKey(key);
  return result;
}

int32_t BuildAdapterList(Registry& reg, AdapterList* list, uint32_t access,
                         uint32_t descriptionBytes) {
  if (!list) return 0;
  ClearAdapterList(list);
  int32_t count = 0;
  // Every instance is probed: gaps between instance numbers are normal.
  for (int32_t n = 0; n < kMaxAdapters; ++n) {
    if (ProbeAdapter(reg, n, access, descriptionBytes) == AdapterIsVoodoo3)
      list->instances[count++] = n;
  }
  list->count = count;
  list->selected = count - 1;  // -1 when nothing was found
  return count;
}

}  // namespace tachy
