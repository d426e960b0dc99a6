// The page module's entry point and exports: the class factory, whether the
// module may be unloaded, and self-registration.
#include "shellext/module_win.h"

#include "settings/nocrt/nocrt.h"
#include "shellext/property_interface_win.h"
#include "shellext/registration.h"

namespace tachy {

namespace {

HINSTANCE g_instance = nullptr;
// Live extension objects and page objects, server locks, and what the
// property sheet adds through pcRefParent while the page exists.
volatile LONG g_objectCount = 0;

constexpr HRESULT kSelfRegEClass = static_cast<HRESULT>(0x80040201L);

class Win32ClassRegistry : public ClassRegistry {
 public:
  bool HasDefaultValue(const char* key) override {
    char buffer[256];
    LONG size = sizeof buffer;
    return RegQueryValueA(HKEY_CLASSES_ROOT, key, buffer, &size) == ERROR_SUCCESS;
  }
  bool SetDefaultValue(const char* key, const char* value) override {
    DWORD length = 0;
    while (value[length]) ++length;
    return RegSetValueA(HKEY_CLASSES_ROOT, key, REG_SZ, value, length) ==
           ERROR_SUCCESS;
  }
};

}  // namespace

HINSTANCE ModuleInstance() {
  // Outside the module (a test program linking the page code) the program's
  // own resources stand in.
  return g_instance ? g_instance : GetModuleHandleA(nullptr);
}

void LockModule() { InterlockedIncrement(const_cast<LONG*>(&g_objectCount)); }

void UnlockModule() { InterlockedDecrement(const_cast<LONG*>(&g_objectCount)); }

UINT* ModuleObjectCount() {
  return reinterpret_cast<UINT*>(const_cast<LONG*>(&g_objectCount));
}

}  // namespace tachy

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) tachy::g_instance = instance;
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid,
                                            LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!tachy::SameGuid(rclsid, tachy::kClsidPropertyInterface))
    return CLASS_E_CLASSNOTAVAILABLE;
  return tachy::QueryPropertyInterfaceFactory(riid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
  if (tachy::g_objectCount != 0 || tachy::PropertyInterfaceFactoryReferences() > 1)
    return S_FALSE;
  return S_OK;
}

extern "C" HRESULT WINAPI DllRegisterServer() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(tachy::ModuleInstance(), path, sizeof path);
  if (length == 0 || length >= sizeof path) return tachy::kSelfRegEClass;
  char shortPath[MAX_PATH];
  const DWORD shortLength = GetShortPathNameA(path, shortPath, sizeof shortPath);
  const char* modulePath =
      (shortLength != 0 && shortLength < sizeof shortPath) ? shortPath : path;

  LPOLESTR wide = nullptr;
  if (FAILED(StringFromCLSID(tachy::kClsidPropertyInterface, &wide)) || !wide)
    return tachy::kSelfRegEClass;
  char clsid[64];
  unsigned i = 0;
  for (; wide[i] && i < sizeof clsid - 1; ++i) clsid[i] = static_cast<char>(wide[i]);
  clsid[i] = '\0';
  CoTaskMemFree(wide);

  tachy::Win32ClassRegistry registry;
  return tachy::RegisterServerRows(registry, clsid, modulePath)
             ? S_OK
             : tachy::kSelfRegEClass;
}
