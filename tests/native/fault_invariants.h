// Checks shared by the fault sweep, the native tests and the fuzz targets.
// Every check returns "" when it holds, otherwise what is wrong.
#pragma once

#include <stdint.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "settings/memreg.h"
#include "settings/platform.h"

namespace tachy {
namespace fault {

inline std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

const char kClassPrefix[] = "HKLM\\System\\CurrentControlSet\\Services\\Class\\Display\\";
const char kProductPath[] = "HKLM\\Software\\Tachymark";
const char kNT4Device0[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Voodoo3\\Device0";
const char kNT5Device0[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\3dfxvs\\Device0";
const char kNTGlide[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\Glide";
const char kNTD3D[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\3Dfx\\Device0\\D3D";
const char kClsidText[] = "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
const char kClassKey[] =
    "HKLM\\Software\\Classes\\CLSID\\{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}";
// regsvr32's ProgID key; its CLSID subkey names the class.
const char kProgIdKey[] = "HKLM\\Software\\Classes\\PROPERTY.PROPERTYINTERFACE";
const char kLegacyHandler[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\"
    "Shellex\\PropertySheetHandlers\\Velomark";
const char kDisplayHandler[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\"
    "Shellex\\PropertySheetHandlers\\Tachymark";
const char kDeviceHandler[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Device\\"
    "Shellex\\PropertySheetHandlers\\Tachymark";
inline const std::string kServerKey = std::string(kClassKey) + "\\InProcServer32";
const char kUninstallEntry[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tachymark";

struct RegistrationKey { uint32_t bit; const char* path; };
const RegistrationKey kRegistrationKeys[] = {{1, kLegacyHandler}, {4, kProductPath},
                                             {8, kDisplayHandler}, {16, kDeviceHandler},
                                             {32, kClassKey},      {64, kUninstallEntry}};

// The command Add/Remove Programs runs: a path with a blank is quoted.
inline std::string UninstallCommand(const std::string& installerPath) {
  return installerPath.find(' ') == std::string::npos ? installerPath
                                                      : '"' + installerPath + '"';
}

// "%4.4i" of the instance number 0..15: "0000".."0015".
inline std::string AdapterKey(int instance, const char* suffix) {
  char pad4[16];
  std::snprintf(pad4, sizeof pad4, "%04d", instance);
  return std::string(kClassPrefix) + pad4 + suffix;
}
inline std::string ModeKey(int instance, int depth, const std::string& mode) {
  return AdapterKey(instance, "\\MODES\\") + std::to_string(depth) + "\\" + mode;
}

inline std::vector<int> Instances(const AdapterList& list) {
  std::vector<int> out;
  for (int i = 0; i < kMaxAdapters && list.instances[i] != -1; ++i)
    out.push_back(list.instances[i]);
  return out;
}

// The driver values removal resets; the page writes the same but the NT D3D key's.
using ValueRef = std::pair<std::string, const char*>;
inline std::vector<ValueRef> DriverValues(PlatformKind kind, const AdapterList& list,
                                          bool withNTD3D = true) {
  std::vector<ValueRef> out;
  if (kind == 1) {
    for (int n : Instances(list)) {
      out.push_back({AdapterKey(n, "\\DEFAULT"), "Grxclock"});
      out.push_back({AdapterKey(n, "\\Glide"), "FX_GLIDE_SWAPINTERVAL"});
      out.push_back({AdapterKey(n, "\\D3D"), "SSTH3_SWAPINTERVAL"});
    }
    return out;
  }
  const char* device0 = kind == 3 ? kNT5Device0 : kNT4Device0;
  out = {{device0, "GraphicsClocking"}, {device0, "SSTH3_SWAPINTERVAL"},
         {kNTGlide, "FX_GLIDE_SWAPINTERVAL"}};
  if (withNTD3D) out.push_back({kNTD3D, "SSTH3_SWAPINTERVAL"});
  return out;
}


using Value = MemoryRegistry::Value;
using ValueCheck = std::function<bool(const Value&)>;

inline bool IsSz(const Value& v, const std::string& text) {
  return v.type == kRegSz && v.data.size() == text.size() + 1 && v.data.back() == 0 &&
         std::string(v.data.begin(), v.data.end() - 1) == text;
}

// REG_SZ holding a number as "%d" writes it (no plus, no leading zero), at most 2^32.
inline bool IsDecimalSz(const Value& v, long* number = nullptr) {
  if (v.type != kRegSz || v.data.size() < 2 || v.data.back() != 0) return false;
  const std::string text(v.data.begin(), v.data.end() - 1);
  if (text.size() > 11 || text.find_first_not_of("-0123456789") != std::string::npos)
    return false;
  const long long n = std::strtoll(text.c_str(), nullptr, 10);
  if (std::to_string(n) != text || n > 4294967296LL || n < -4294967296LL) return false;
  if (number) *number = static_cast<long>(n);
  return true;
}

inline uint32_t ReadDword(const Value& v) {
  return v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<uint32_t>(v.data[3]) << 24;
}

inline ValueCheck DecimalIn(long low, long high) {
  return [low, high](const Value& v) {
    long n = 0;
    return IsDecimalSz(v, &n) && n >= low && n <= high;
  };
}
inline ValueCheck Dword() {
  return [](const Value& v) { return v.type == kRegDword && v.data.size() == 4; };
}
inline ValueCheck AnyOf(std::vector<std::string> texts) {
  return [texts](const Value& v) {
    for (const std::string& t : texts)
      if (IsSz(v, t)) return true;
    return false;
  };
}
inline ValueCheck Sz(const std::string& text) { return AnyOf({text}); }


class WritePolicy {
 public:
  void AllowCreate(const std::string& key) { creates_.insert(Lower(key)); }
  void AllowSet(const std::string& key, const std::string& value, ValueCheck check) {
    sets_[Lower(key) + "|" + Lower(value)] = std::move(check);
  }
  void AllowDeleteValue(const std::string& key, const std::string& value) {
    deleteValues_.insert(Lower(key) + "|" + Lower(value));
  }
  void AllowDeleteKey(const std::string& key) { deleteKeys_.insert(Lower(key)); }

  std::string Check(const MemoryRegistry& reg) const {
    std::string errors;
    for (const MemoryRegistry::Call& c : reg.Calls()) {
      if (c.result != kErrorSuccess || !(c.op & MemoryRegistry::kOpWrites)) continue;
      const std::string key = Lower(c.path), keyValue = key + "|" + Lower(c.value);
      const std::string what = c.path + " \"" + c.value + "\"\n";
      if (c.op == MemoryRegistry::kOpCreate && !creates_.count(key)) {
        errors += "unexpected create of " + c.path + "\n";
      } else if (c.op == MemoryRegistry::kOpSet) {
        auto rule = sets_.find(keyValue);
        Value v;
        if (rule == sets_.end())
          errors += "unexpected set of " + what;
        else if (reg.GetValue(c.path, c.value, &v) && !rule->second(v))
          errors += "badly formed value " + what;
      } else if (c.op == MemoryRegistry::kOpDeleteValue && !deleteValues_.count(keyValue)) {
        errors += "unexpected value deletion " + what;
      } else if (c.op == MemoryRegistry::kOpDeleteKey && !deleteKeys_.count(key)) {
        errors += "unexpected key deletion " + c.path + "\n";
      }
    }
    return errors;
  }

 private:
  std::set<std::string> creates_, deleteValues_, deleteKeys_;
  std::map<std::string, ValueCheck> sets_;
};

inline bool IsNT(PlatformKind kind) { return kind == 2 || kind == 3; }

// The page: the clamped limits, EnableClock and the driver values.
inline WritePolicy PagePolicy(PlatformKind kind, const AdapterList& list) {
  WritePolicy p;
  p.AllowSet(kProductPath, "LowerLimit", AnyOf({"100", "140"}));
  p.AllowSet(kProductPath, "UpperLimit", AnyOf({"200", "240"}));
  p.AllowSet(kProductPath, "EnableClock", DecimalIn(LONG_MIN, LONG_MAX));
  for (const ValueRef& v : DriverValues(IsNT(kind) ? kind : 1, list, false)) {
    const std::string name = v.second;
    p.AllowCreate(v.first);
    p.AllowSet(v.first, name, name == "Grxclock"           ? DecimalIn(100, 240)
                              : name == "GraphicsClocking" ? Dword()
                                                           : Sz("0"));
    p.AllowDeleteValue(v.first, name);
  }
  return p;
}

// The refresh-rate store never creates a key: the preferences, DEFAULT and
// the mode keys of a listed adapter at `depths`.
inline WritePolicy RefreshPolicy(const AdapterList& list, const std::vector<int>& depths,
                                 const std::vector<std::string>& modeKeys) {
  WritePolicy p;
  p.AllowSet(kProductPath, "ColorDepth", DecimalIn(LONG_MIN, LONG_MAX));
  p.AllowSet(kProductPath, "LinkAllColorDepths", DecimalIn(LONG_MIN, LONG_MAX));
  ValueCheck rate = [](const Value& v) {
    long n = 0;
    return IsDecimalSz(v, &n) && (n == 0 || n == -1 || (n >= 41 && n <= 179));
  };
  for (int n : Instances(list)) {
    p.AllowSet(AdapterKey(n, "\\DEFAULT"), "RefreshRate", AnyOf({"0", "-1"}));
    for (int depth : depths) {
      for (const std::string& mode : modeKeys) {
        p.AllowSet(ModeKey(n, depth, mode), "RefreshRate", rate);
        p.AllowDeleteValue(ModeKey(n, depth, mode), "RefreshRate");
      }
    }
  }
  return p;
}

inline WritePolicy InstallerPolicy(PlatformKind kind, const AdapterList& list,
                                   const std::string& modulePath,
                                   const std::string& installerPath) {
  WritePolicy p;
  for (const char* key : {kProductPath, kDisplayHandler, kDeviceHandler, kUninstallEntry})
    p.AllowCreate(key);
  p.AllowCreate(kServerKey);
  p.AllowSet(kProductPath, "LowerLimit", DecimalIn(100, 140));
  p.AllowSet(kProductPath, "UpperLimit", DecimalIn(200, 240));
  p.AllowSet(kProductPath, "Model", AnyOf({"Voodoo3 2000", "Voodoo3 3000", "Voodoo3 3500"}));
  p.AllowSet(kProductPath, "DefaultClock", AnyOf({"143", "166", "183"}));
  p.AllowSet(kProductPath, "EnableClock", Sz("0"));
  p.AllowSet(kProductPath, "ColorDepth", Sz("8"));
  p.AllowSet(kProductPath, "LinkAllColorDepths", Sz("0"));
  for (const char* force : {"Force95", "Force98", "ForceNT4", "ForceNT5"})
    p.AllowSet(kProductPath, force, Sz("1"));
  p.AllowSet(kDisplayHandler, "", Sz(kClsidText));
  p.AllowSet(kDeviceHandler, "", Sz(kClsidText));
  p.AllowSet(kServerKey, "", Sz(modulePath));
  p.AllowSet(kServerKey, "ThreadingModel", Sz("Apartment"));
  p.AllowSet(kUninstallEntry, "DisplayName", Sz("Tachymark"));
  p.AllowSet(kUninstallEntry, "DisplayVersion", [](const Value& v) {  // "major.minor"
    const std::string text(v.data.begin(), v.data.end());
    const size_t dot = text.find('.');
    return IsSz(v, text.substr(0, text.size() - 1)) && dot > 0 && dot + 2 < text.size() &&
           text.find_first_not_of("0123456789", dot + 1) == text.size() - 1 &&
           text.find_first_not_of("0123456789") == dot;
  });
  p.AllowSet(kUninstallEntry, "Publisher", [](const Value& v) {
    return v.type == kRegSz && !v.data.empty() && v.data.back() == 0;
  });
  p.AllowSet(kUninstallEntry, "DisplayIcon", Sz(installerPath + ",0"));
  p.AllowSet(kUninstallEntry, "UninstallString", Sz(UninstallCommand(installerPath)));
  for (const RegistrationKey& k : kRegistrationKeys) p.AllowDeleteKey(k.path);
  for (const std::string& key : {kServerKey, std::string(kClassKey) + "\\ProgID",
                                 std::string(kProgIdKey), std::string(kProgIdKey) + "\\CLSID"})
    p.AllowDeleteKey(key);
  for (const ValueRef& v : DriverValues(kind, list)) p.AllowDeleteValue(v.first, v.second);
  return p;
}


// A failed write: a create or set, or a deletion or open for writing that
// failed other than for a missing target. An action must report failure
// exactly then.
inline bool AnyWriteFailed(const MemoryRegistry& reg, std::string* which = nullptr) {
  for (const MemoryRegistry::Call& c : reg.Calls()) {
    if (c.result == kErrorSuccess) continue;
    const bool absent = c.result == kErrorFileNotFound;
    const bool failed =
        c.op == MemoryRegistry::kOpCreate || c.op == MemoryRegistry::kOpSet ||
        ((c.op == MemoryRegistry::kOpDeleteValue || c.op == MemoryRegistry::kOpDeleteKey) &&
         !absent) ||
        (c.op == MemoryRegistry::kOpOpen && (c.access & (kKeySetValue | kKeyCreateSubKey)) &&
         !absent);
    if (failed) {
      if (which) *which = std::to_string(c.op) + " " + c.path + " \"" + c.value + "\"";
      return true;
    }
  }
  return false;
}

// An injected "not found" for something that exists leaves it in place
// without anybody being able to tell: such keys and values are excused.
inline bool SaidAbsent(const MemoryRegistry& reg, const std::string& key,
                       const char* value = nullptr) {
  for (const MemoryRegistry::Call& c : reg.Calls())
    if (c.result == kErrorFileNotFound && Lower(c.path) == Lower(key) &&
        (c.op == MemoryRegistry::kOpOpen || c.op == MemoryRegistry::kOpDeleteKey ||
         (value && Lower(c.value) == Lower(value))))
      return true;
  return false;
}

inline std::string CheckHandles(const MemoryRegistry& reg) {
  if (reg.OpenHandleCount() == 0) return "";
  return std::to_string(reg.OpenHandleCount()) + " key handle(s) left open\n";
}

inline bool Terminated(const char* field, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (field[i] == 0) return true;
  return false;
}

// After an Apply that reported success: every driver value holds the record.
template <typename Settings>
std::string CheckDriverValues(const MemoryRegistry& reg, PlatformKind kind,
                              const AdapterList& list, const Settings& s) {
  std::string errors;
  for (const ValueRef& r : DriverValues(IsNT(kind) ? kind : 1, list, false)) {
    const std::string& key = r.first;
    const std::string name = r.second;
    Value v;
    const bool present = reg.GetValue(key, name, &v);
    const bool clock = name == "Grxclock" || name == "GraphicsClocking";
    const int32_t on = clock ? s.enableClock
                       : (name == "FX_GLIDE_SWAPINTERVAL" || IsNT(kind)) ? s.glideVsyncOff
                                                                         : s.d3dVsyncOff;
    bool holds = present && IsSz(v, "0");
    if (clock)  // NT keeps the clock as a DWORD, 9x as text
      holds = present && (IsNT(kind) ? v.type == kRegDword && v.data.size() == 4 &&
                                           ReadDword(v) == static_cast<uint32_t>(s.currentClock)
                                     : IsSz(v, std::to_string(s.currentClock)));
    if (on && !holds)
      errors += key + " " + name + (clock ? " does not hold the clock\n" : " should hold \"0\"\n");
    if (!on && present && !SaidAbsent(reg, key, name.c_str()))
      errors += key + " " + name + " should be absent\n";
  }
  return errors;
}

// After an install that reported success.
inline std::string CheckInstalled(const MemoryRegistry& reg, PlatformKind kind,
                                  int32_t advancedPanel, const std::string& modulePath,
                                  const std::string& installerPath) {
  std::string errors;
  Value v;
  if (!reg.GetValue(kUninstallEntry, "UninstallString", &v) ||
      !IsSz(v, UninstallCommand(installerPath)))
    errors += "the Add/Remove Programs entry does not start the installer\n";
  if (!reg.GetValue(kServerKey, "", &v) || !IsSz(v, modulePath))
    errors += "InProcServer32 does not hold the module path\n";
  if (!reg.GetValue(kServerKey, "ThreadingModel", &v) || !IsSz(v, "Apartment"))
    errors += "ThreadingModel is not Apartment\n";
  const bool device = kind == 1 && advancedPanel == 1;
  const char* handler = device ? kDeviceHandler : kDisplayHandler;
  if (!reg.GetValue(handler, "", &v) || !IsSz(v, kClsidText))
    errors += std::string("handler key ") + handler + " missing or wrong\n";
  // On 9x the other handler key must be gone.
  const char* other = device ? kDisplayHandler : kDeviceHandler;
  if (kind == 1 && reg.KeyExists(other) && !SaidAbsent(reg, other))
    errors += std::string("stale handler key ") + other + "\n";
  for (const char* name : {"LowerLimit", "UpperLimit", "Model", "DefaultClock",
                           "EnableClock", "ColorDepth", "LinkAllColorDepths"})
    if (!reg.ValueExists(kProductPath, name))
      errors += std::string("product value ") + name + " missing\n";
  return errors;
}

// A handler whose class is gone makes the Display control panel look for a
// module that is not registered: removal deletes the handlers first.
inline std::string CheckNoDanglingHandler(const MemoryRegistry& reg) {
  if (reg.ValueExists(kServerKey, "")) return "";
  std::string errors;
  for (const char* handler : {kDisplayHandler, kDeviceHandler})
    if (reg.Text(handler, "") == kClsidText && !SaidAbsent(reg, handler))
      errors += std::string("handler ") + handler + " left without its class\n";
  return errors;
}

// After a removal that reported success.
inline std::string CheckRemoved(const MemoryRegistry& reg, PlatformKind kind,
                                const AdapterList& list, uint32_t keySet) {
  std::string errors;
  for (const RegistrationKey& k : kRegistrationKeys)
    if ((keySet & k.bit) && reg.KeyExists(k.path) && !SaidAbsent(reg, k.path))
      errors += std::string(k.path) + " not removed\n";
  for (const ValueRef& v : DriverValues(kind, list))
    if (reg.ValueExists(v.first, v.second) && !SaidAbsent(reg, v.first, v.second))
      errors += v.first + " " + v.second + " not removed\n";
  // The ProgID key naming this class goes with it, unless reading which
  // class it names failed.
  const std::string progIdClsid = std::string(kProgIdKey) + "\\CLSID";
  bool unread = false;
  for (const MemoryRegistry::Call& c : reg.Calls())
    unread = unread || (c.result != kErrorSuccess && Lower(c.path) == Lower(progIdClsid));
  if ((keySet & 32) && Lower(reg.Text(progIdClsid, "")) == Lower(kClsidText) && !unread)
    errors += std::string(kProgIdKey) + " not removed\n";
  return errors;
}

}  // namespace fault
}  // namespace tachy
