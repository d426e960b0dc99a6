#include "installer/actions.h"

#include "installer/startup.h"
#include "settings/product_key.h"
#include "settings/text.h"

namespace tachy {

const char kTachyClsidText[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const char kLegacyHandlerKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\"
    "Shellex\\PropertySheetHandlers\\Velomark";
const char kDisplayHandlerKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\"
    "Shellex\\PropertySheetHandlers\\Tachymark";
const char kDeviceHandlerKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Device\\"
    "Shellex\\PropertySheetHandlers\\Tachymark";
const char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tachymark";
const char kInstallerKeyClass[] = "Tachymark";

namespace {

constexpr uint32_t kWriteAccess = kKeyCreateSubKey | kKeySetValue;

// Key names of the class key, formed from the class id text.
void ClassKeyName(char* buf, size_t size) {
  FormatText(buf, size, "CLSID\\%s", kTachyClsidText);
}
void ServerKeyName(char* buf, size_t size) {
  FormatText(buf, size, "CLSID\\%s\\InProcServer32", kTachyClsidText);
}
// Written by the page module's own self-registration (regsvr32); it must go
// before the class key can be deleted on NT.
void ProgIdKeyName(char* buf, size_t size) {
  FormatText(buf, size, "CLSID\\%s\\ProgID", kTachyClsidText);
}

// regsvr32 also writes the ProgID key, whose CLSID subkey names the class.
const char kProgIdKey[] = "PROPERTY.PROPERTYINTERFACE";
const char kProgIdClsidKey[] = "PROPERTY.PROPERTYINTERFACE\\CLSID";

struct RegistrationKey {
  uint32_t bit;
  RegKey root;
  const char* path;  // null: the class key, named at run time
};

// In the order of removal: the shell keys, then the product key, then the
// Add/Remove Programs entry. Detection takes them in any order.
const RegistrationKey kRegistrationKeys[] = {
    {kKeyLegacyVelomark, kHkeyLocalMachine, kLegacyHandlerKey},
    {kKeyDisplayHandler, kHkeyLocalMachine, kDisplayHandlerKey},
    {kKeyDeviceHandler, kHkeyLocalMachine, kDeviceHandlerKey},
    {kKeyClsid, kHkeyClassesRoot, nullptr},
    {kKeyProduct, kHkeyLocalMachine, kProductKeyPath},
    {kKeyUninstall, kHkeyLocalMachine, kUninstallKey},
};

// A key deletion reached its goal when the key is gone, also when it was
// gone already (removed by hand since start-up).
bool Deleted(long result) {
  return result == kErrorSuccess || result == kErrorFileNotFound;
}

bool DeleteRegistrationKey(Registry& reg, RegKey root, const char* path) {
  return Deleted(reg.DeleteKey(root, path));
}

// Deletes the ProgID key (its CLSID subkey first) when it names this
// product's class; COM compares class strings without regard to case. A
// ProgID key that names another class, or that cannot be read, is left alone.
bool DeleteOwnProgId(Registry& reg) {
  RegKey key = 0;
  if (reg.OpenKey(kHkeyClassesRoot, kProgIdClsidKey, kKeyRead, &key) != kErrorSuccess)
    return true;
  char clsid[64];
  bool own = QueryText(reg, key, nullptr, clsid, sizeof clsid) == kErrorSuccess &&
             TextEqualsNoCase(clsid, kTachyClsidText);
  reg.CloseKey(key);
  return !own || (DeleteRegistrationKey(reg, kHkeyClassesRoot, kProgIdClsidKey) &&
                  DeleteRegistrationKey(reg, kHkeyClassesRoot, kProgIdKey));
}

struct DriverStep {
  const char* key9x;   // %4.4i: the instance number
  const char* keyNT4;
  const char* keyNT5;
  const char* value9x;
  const char* valuesNT[2];
};

const DriverStep kDriverSteps[] = {
    {"System\\CurrentControlSet\\Services\\Class\\Display\\%4.4i\\DEFAULT",
     "SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0",
     "SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0",
     "Grxclock",
     {"GraphicsClocking", "SSTH3_SWAPINTERVAL"}},
    {"System\\CurrentControlSet\\Services\\Class\\Display\\%4.4i\\Glide",
     "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide",
     "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide",
     "FX_GLIDE_SWAPINTERVAL",
     {"FX_GLIDE_SWAPINTERVAL", nullptr}},
    {"System\\CurrentControlSet\\Services\\Class\\Display\\%4.4i\\D3D",
     "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\D3D",
     "SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\D3D",
     "SSTH3_SWAPINTERVAL",
     {"SSTH3_SWAPINTERVAL", nullptr}},
};

}  // namespace

uint32_t DetectInstalledKeys(Registry& reg) {
  uint32_t set = 0;
  char classKey[128];
  ClassKeyName(classKey, sizeof classKey);
  for (const RegistrationKey& k : kRegistrationKeys) {
    RegKey key = 0;
    if (reg.OpenKey(k.root, k.path ? k.path : classKey, kKeyRead, &key) ==
        kErrorSuccess) {
      set |= k.bit;
      reg.CloseKey(key);
    }
  }
  return set;
}

bool WriteProductValues(Registry& reg, const InstallerState& state,
                        int32_t lower, int32_t upper, int32_t model) {
  RegKey key = 0;
  if (reg.CreateKey(kHkeyLocalMachine, kProductKeyPath, kInstallerKeyClass,
                    kWriteAccess, &key) != kErrorSuccess) {
    return false;
  }
  // The dialog ends with OK only with a model chosen; anything else is
  // written as the smallest board.
  const char* modelName = model == kModel3500   ? "Voodoo3 3500"
                          : model == kModel3000 ? "Voodoo3 3000"
                                                : "Voodoo3 2000";
  const char* defaultClock = model == kModel3500   ? "183"
                             : model == kModel3000 ? "166"
                                                   : "143";
  char lowerText[16];
  char upperText[16];
  FormatText(lowerText, sizeof lowerText, "%ld", static_cast<long>(lower));
  FormatText(upperText, sizeof upperText, "%ld", static_cast<long>(upper));

  struct Item {
    const char* name;
    const char* text;
    bool wanted;
  } items[] = {
      {kValueLowerLimit, lowerText, true},
      {kValueUpperLimit, upperText, true},
      {kValueModel, modelName, true},
      {kValueDefaultClock, defaultClock, true},
      {kValueEnableClock, "0", true},
      {kValueColorDepth, "8", true},
      {kValueLinkAllColorDepths, "0", true},
      {kValueForce95, "1", state.Force95 == 1},
      {kValueForce98, "1", state.Force98 == 1},
      {kValueForceNT4, "1", state.ForceNT4 == 1},
      {kValueForceNT5, "1", state.ForceNT5 == 1},
  };
  bool ok = true;
  for (const Item& item : items) {
    if (!item.wanted) continue;
    if (SetText(reg, key, item.name, item.text) != kErrorSuccess) {
      ok = false;
      break;
    }
  }
  reg.CloseKey(key);
  return ok;
}

bool WriteHandlerKey(Registry& reg, const char* keyPath) {
  RegKey key = 0;
  if (reg.CreateKey(kHkeyLocalMachine, keyPath, kInstallerKeyClass,
                    kWriteAccess, &key) != kErrorSuccess) {
    return false;
  }
  bool ok = SetText(reg, key, nullptr, kTachyClsidText) == kErrorSuccess;
  reg.CloseKey(key);
  return ok;
}

bool DeleteKeyIfPresent(Registry& reg, const char* keyPath) {
  RegKey key = 0;
  long opened = reg.OpenKey(kHkeyLocalMachine, keyPath, kWriteAccess, &key);
  if (opened != kErrorSuccess) return opened == kErrorFileNotFound;
  reg.CloseKey(key);
  return Deleted(reg.DeleteKey(kHkeyLocalMachine, keyPath));
}

bool WriteClsidKey(Registry& reg, const char* modulePath) {
  char serverKey[128];
  ServerKeyName(serverKey, sizeof serverKey);
  RegKey key = 0;
  if (reg.CreateKey(kHkeyClassesRoot, serverKey, kInstallerKeyClass,
                    kWriteAccess, &key) != kErrorSuccess) {
    return false;
  }
  bool ok = SetText(reg, key, nullptr, modulePath) == kErrorSuccess &&
            SetText(reg, key, "ThreadingModel", "Apartment") == kErrorSuccess;
  reg.CloseKey(key);
  return ok;
}

bool WriteUninstallEntry(Registry& reg, const InstallerState& state) {
  RegKey key = 0;
  if (reg.CreateKey(kHkeyLocalMachine, kUninstallKey, kInstallerKeyClass,
                    kWriteAccess, &key) != kErrorSuccess) {
    return false;
  }
  const char* path = state.InstallerPath;
  char version[32];
  char icon[sizeof state.InstallerPath + 2];
  char command[sizeof state.InstallerPath + 2];
  FormatVersionLine(version, sizeof version, "", state.FileVersionMS, "");
  FormatText(icon, sizeof icon, "%s,0", path);
  FormatText(command, sizeof command, FindChar(path, ' ') ? "\"%s\"" : "%s", path);
  const char* const values[][2] = {{"DisplayName", "Tachymark"},
                                   {"DisplayVersion", version},
                                   {"Publisher", state.CompanyName},
                                   {"DisplayIcon", icon},
                                   {"UninstallString", command}};
  bool ok = true;
  for (const auto& value : values) {
    if (SetText(reg, key, value[0], value[1]) != kErrorSuccess) {
      ok = false;
      break;
    }
  }
  reg.CloseKey(key);
  return ok;
}

bool InstallExtension(Registry& reg, const InstallerState& state,
                      const char* modulePath, int32_t lower, int32_t upper,
                      int32_t model) {
  bool ok = WriteProductValues(reg, state, lower, upper, model);
  if (state.PlatformKind == kPlatform9x) {
    if (state.AdvancedPanelOption == 1) {
      ok = WriteHandlerKey(reg, kDeviceHandlerKey) && ok;
      ok = DeleteKeyIfPresent(reg, kDisplayHandlerKey) && ok;
    } else {
      ok = WriteHandlerKey(reg, kDisplayHandlerKey) && ok;
      ok = DeleteKeyIfPresent(reg, kDeviceHandlerKey) && ok;
    }
  } else {
    ok = WriteHandlerKey(reg, kDisplayHandlerKey) && ok;
  }
  ok = WriteClsidKey(reg, modulePath) && ok;
  ok = WriteUninstallEntry(reg, state) && ok;
  return ok;
}

bool ResetDriverValues(Registry& reg, PlatformKind kind, int32_t instance) {
  bool ok = true;
  for (const DriverStep& step : kDriverSteps) {
    char keyName[128];
    const char* values[2] = {nullptr, nullptr};
    if (kind == kPlatform9x) {
      FormatText(keyName, sizeof keyName, step.key9x, static_cast<int>(instance));
      values[0] = step.value9x;
    } else {
      CopyText(keyName, sizeof keyName,
               kind == kPlatformNT5 ? step.keyNT5 : step.keyNT4);
      values[0] = step.valuesNT[0];
      values[1] = step.valuesNT[1];
    }
    RegKey key = 0;
    long opened = reg.OpenKey(kHkeyLocalMachine, keyName, kWriteAccess, &key);
    if (opened != kErrorSuccess) {
      if (opened != kErrorFileNotFound) ok = false;
      continue;
    }
    for (const char* value : values) {
      if (!value) continue;
      long r = reg.DeleteValue(key, value);
      if (r != kErrorSuccess && r != kErrorFileNotFound) ok = false;
    }
    reg.CloseKey(key);
  }
  return ok;
}

bool RemoveExtension(Registry& reg, const InstallerState& state,
                     uint32_t keySet) {
  // The driver's values first: while any of them stays, so does the
  // registration, and the next run offers the removal again.
  bool ok = true;
  if (state.PlatformKind == kPlatform9x) {
    const AdapterList& list = state.AdapterList;
    if (list.count != 0) {
      for (int i = 0; i < kMaxAdapters && list.instances[i] != -1; ++i) {
        ok = ResetDriverValues(reg, kPlatform9x, list.instances[i]) && ok;
      }
    }
  } else {
    ok = ResetDriverValues(reg, state.PlatformKind, 0);
  }
  if (!ok) return false;

  for (const RegistrationKey& k : kRegistrationKeys) {
    if (!(keySet & k.bit)) continue;
    if (k.path) {
      if (!DeleteRegistrationKey(reg, k.root, k.path)) return false;
      continue;
    }
    // The ProgID key goes first: when it cannot be deleted, the class key
    // stays, and the next run finds the registration and tries again.
    if (!DeleteOwnProgId(reg)) return false;
    char name[128];
    ProgIdKeyName(name, sizeof name);
    if (!DeleteRegistrationKey(reg, k.root, name)) return false;
    ServerKeyName(name, sizeof name);
    if (!DeleteRegistrationKey(reg, k.root, name)) return false;
    ClassKeyName(name, sizeof name);
    if (!DeleteRegistrationKey(reg, k.root, name)) return false;
  }
  return true;
}

}  // namespace tachy
