// Entry point of TACHPAGE.DLL in place of the C runtime's start-up code.
// Static constructors are not run: the module has none (globals are plain
// data), so DllMain gets every call directly.
#include "settings/nocrt/nocrt.h"

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason,
                                         LPVOID reserved) {
  return DllMain(instance, reason, reserved);
}
