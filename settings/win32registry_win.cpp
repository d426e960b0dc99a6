#include "settings/win32registry_win.h"

#include <windows.h>

namespace tachy {

namespace {

HKEY Handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

// Stateless: a constant, so that it needs no initialised writable data.
const Win32Registry systemRegistry;

}  // namespace

// The roots of regapi.h are the HKEY values themselves.
static_assert(sizeof(RegKey) == sizeof(HKEY), "RegKey holds an HKEY");

long Win32Registry::OpenKey(RegKey root, const char* subKey, uint32_t access,
                            RegKey* result) {
  HKEY opened = NULL;
  long r = RegOpenKeyExA(Handle(root), subKey, 0, access, &opened);
  if (result) *result = r == ERROR_SUCCESS ? reinterpret_cast<RegKey>(opened) : 0;
  return r;
}

long Win32Registry::CreateKey(RegKey root, const char* subKey,
                              const char* className, uint32_t access,
                              RegKey* result) {
  HKEY created = NULL;
  long r = RegCreateKeyExA(Handle(root), subKey, 0, const_cast<char*>(className),
                           REG_OPTION_NON_VOLATILE, access, NULL, &created,
                           NULL);
  if (result) *result = r == ERROR_SUCCESS ? reinterpret_cast<RegKey>(created) : 0;
  return r;
}

long Win32Registry::QueryValue(RegKey key, const char* name, uint32_t* type,
                               void* data, uint32_t* size) {
  DWORD storedType = 0;
  DWORD length = size ? *size : 0;
  long r = RegQueryValueExA(Handle(key), name, NULL, type ? &storedType : NULL,
                            static_cast<BYTE*>(data), size ? &length : NULL);
  if (type) *type = storedType;
  if (size) *size = length;
  return r;
}

long Win32Registry::SetValue(RegKey key, const char* name, uint32_t type,
                             const void* data, uint32_t size) {
  return RegSetValueExA(Handle(key), name, 0, type,
                        static_cast<const BYTE*>(data), size);
}

long Win32Registry::DeleteValue(RegKey key, const char* name) {
  return RegDeleteValueA(Handle(key), name);
}

long Win32Registry::DeleteKey(RegKey root, const char* subKey) {
  return RegDeleteKeyA(Handle(root), subKey);
}

long Win32Registry::CloseKey(RegKey key) {
  return RegCloseKey(Handle(key));
}

Registry& SystemRegistry() {
  return const_cast<Win32Registry&>(systemRegistry);
}

}  // namespace tachy
