// The registry as the core sees it.
//
// Every registry access of the portable core goes through `Registry`. Its
// operations mirror the advapi32 calls one to one (RegOpenKeyExA,
// RegCreateKeyExA, RegQueryValueExA, RegSetValueExA, RegDeleteValueA,
// RegDeleteKeyA, RegCloseKey) and return Windows error codes. Two
// implementations exist: Win32Registry (advapi32, Windows builds only) and
// MemoryRegistry (in memory, for tests; it can inject faults).
//
// This header includes no Windows header and no C runtime header: it is
// compiled into the CRT-free deliverables as well as the native tests.
#pragma once

#include <stdint.h>

namespace tachy {

// An open key or a predefined root, as the platform's HKEY value.
typedef uintptr_t RegKey;

// Predefined roots (the values of HKEY_CLASSES_ROOT and friends).
constexpr RegKey kHkeyClassesRoot = 0x80000000u;
constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;

// Windows error codes that the core looks at or produces.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorOutOfMemory = 14;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorKeyDeleted = 1018;

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

// Access masks.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyNotify = 0x0010;
constexpr uint32_t kKeyRead = 0x00020019;
constexpr uint32_t kKeyWrite = 0x00020006;
constexpr uint32_t kKeyAllAccess = 0x000F003F;

class Registry {
 public:
  // RegOpenKeyExA(root, subKey, 0, access, result).
  virtual long OpenKey(RegKey root, const char* subKey, uint32_t access,
                       RegKey* result) = 0;
  // RegCreateKeyExA(root, subKey, 0, className, REG_OPTION_NON_VOLATILE,
  // access, NULL, result, NULL): opens the key, creating it and any missing
  // keys above it.
  virtual long CreateKey(RegKey root, const char* subKey, const char* className,
                         uint32_t access, RegKey* result) = 0;
  // RegQueryValueExA(key, name, NULL, type, data, size). `name` may be null
  // or "" for the default value. `type` and `data` may be null. On entry
  // *size is the buffer size; on return it is the stored size (also when
  // kErrorMoreData says the buffer was too small).
  virtual long QueryValue(RegKey key, const char* name, uint32_t* type,
                          void* data, uint32_t* size) = 0;
  // RegSetValueExA(key, name, 0, type, data, size).
  virtual long SetValue(RegKey key, const char* name, uint32_t type,
                        const void* data, uint32_t size) = 0;
  // RegDeleteValueA(key, name).
  virtual long DeleteValue(RegKey key, const char* name) = 0;
  // RegDeleteKeyA(root, subKey). A key with subkeys is refused, as on NT.
  virtual long DeleteKey(RegKey root, const char* subKey) = 0;
  // RegCloseKey(key).
  virtual long CloseKey(RegKey key) = 0;

 protected:
  ~Registry() = default;
};

// Reads a value as text into buf[0..bufSize). Succeeds only when the stored
// data fits the buffer as text: the result is always terminated inside the
// buffer. Data without a terminating zero is terminated after its last byte
// when there is room; data that fills the whole buffer without a zero counts
// as too large (kErrorMoreData). The stored type is not looked at. On any
// failure buf holds "" (when bufSize > 0).
long QueryText(Registry& reg, RegKey key, const char* name, char* buf,
               uint32_t bufSize);

// Stores `text` as REG_SZ with the terminator counted in the data length.
long SetText(Registry& reg, RegKey key, const char* name, const char* text);

// Stores `number` as REG_SZ decimal text ("%d").
long SetDecimal(Registry& reg, RegKey key, const char* name, long number);

// Stores a REG_DWORD.
long SetDword(Registry& reg, RegKey key, const char* name, uint32_t number);

}  // namespace tachy
