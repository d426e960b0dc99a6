// What the CRT-free entry points of the deliverables call.
//
// TACHPAGE.DLL: the entry DllMainCRTStartup hands every call to DllMain,
// which the module defines with C linkage (include this header where it is
// defined). TACHINST.EXE: the entry WinMainCRTStartup calls WinMain
// (declared by <windows.h>) with the command line after the program name
// and ends the process with its result.
#pragma once

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
