// The page module's own instance handle: every resource of the module
// (templates, string table, version) is loaded with it. And the module's
// object count, which keeps the module loaded while anything of it lives.
#pragma once

#include <windows.h>

namespace tachy {

HINSTANCE ModuleInstance();

// Interlocked increment and decrement of the module object count.
void LockModule();
void UnlockModule();
// The count itself, for PROPSHEETPAGE.pcRefParent.
UINT* ModuleObjectCount();

}  // namespace tachy
