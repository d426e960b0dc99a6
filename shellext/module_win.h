// The page module's own instance handle: every resource of the module
// (templates, string table, version) is loaded with it.
#pragma once

#include <windows.h>

namespace tachy {

HINSTANCE ModuleInstance();

}  // namespace tachy
