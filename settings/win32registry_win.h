// The real registry: every Registry operation is the advapi32 call of the
// same name, with the same arguments and result.
//
// Platform note: Windows 95/98's RegDeleteKeyA deletes a key together with
// its subkeys, while NT's refuses a key that has subkeys (as Wine's does).
// The system only deletes keys whose subkeys it has deleted first, so both
// behave alike for it.
#pragma once

#include "settings/regapi.h"

namespace tachy {

class Win32Registry : public Registry {
 public:
  constexpr Win32Registry() = default;

  long OpenKey(RegKey root, const char* subKey, uint32_t access,
               RegKey* result) override;
  long CreateKey(RegKey root, const char* subKey, const char* className,
                 uint32_t access, RegKey* result) override;
  long QueryValue(RegKey key, const char* name, uint32_t* type, void* data,
                  uint32_t* size) override;
  long SetValue(RegKey key, const char* name, uint32_t type, const void* data,
                uint32_t size) override;
  long DeleteValue(RegKey key, const char* name) override;
  long DeleteKey(RegKey root, const char* subKey) override;
  long CloseKey(RegKey key) override;
};

// The process's one Win32Registry (plain static data, no constructor runs).
Registry& SystemRegistry();

}  // namespace tachy
