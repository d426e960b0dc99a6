// What the page module writes when asked to register itself: five default
// values under HKEY_CLASSES_ROOT, in a fixed order.
#pragma once

namespace tachy {

extern const char kProgId[];  // "PROPERTY.PROPERTYINTERFACE"

// HKEY_CLASSES_ROOT default values as RegQueryValueA / RegSetValueA see
// them.
class ClassRegistry {
 public:
  // RegQueryValueA(HKEY_CLASSES_ROOT, key, buffer of 256 bytes) succeeds.
  virtual bool HasDefaultValue(const char* key) = 0;
  // RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value) succeeds (the key
  // is created when missing).
  virtual bool SetDefaultValue(const char* key, const char* value) = 0;

 protected:
  ~ClassRegistry() = default;
};

// Writes, in order: ProgID key (only when it has no value yet),
// CLSID\{clsid} (likewise), ProgID\CLSID, CLSID\{clsid}\ProgID and
// CLSID\{clsid}\InProcServer32 = modulePath. The first failing write ends
// the registration. Returns true when every row needed was written.
bool RegisterServerRows(ClassRegistry& reg, const char* clsidText,
                        const char* modulePath);

}  // namespace tachy
