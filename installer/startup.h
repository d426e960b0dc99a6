// Start-up decisions of the installer that need no window: the language
// rule, the page module's path, and the platform, option and adapter steps.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "installer/state.h"
#include "settings/regapi.h"
#include "settings/sysapi.h"

namespace tachy {

// The installer's string base of a language: 70 for German (7), 35 for
// French (12), 0 (English texts) for every other language.
int32_t InstallerStringBase(uint16_t language);

// Selecting a language sets the string base of everything loaded afterwards.
void SelectLanguage(InstallerState* state, uint16_t language);

// GetSystemDefaultLangID() AND 0x3FF.
uint16_t SystemLanguage(SystemInfo& sys);

// The language a dialog sets its texts in: the system language, unless the
// hidden gesture asked for the next language of the run-long cycle
// (9 -> 12 -> 7 -> 9); the request is used up.
uint16_t PickDialogLanguage(InstallerState* state, uint16_t systemLanguage);

// Drive and directory (with the trailing separator) of the installer's own
// path joined with the module's file name, keeping its capitals:
// D:\Setup\tachinst.exe and TACHPAGE.DLL give D:\Setup\TACHPAGE.DLL.
// False when the own path is empty or the result does not fit `size`.
bool BuildPageModulePath(const char* ownPath, const char* fileName,
                         char* out, size_t size);

// The root of the drive that a full path lies on, as GetDriveTypeA takes
// it: A:\ for A:\TACHINST.EXE, \\server\share\ for a path below that
// share. False (and "") for any other path or when the root does not fit.
bool DriveRootOf(const char* path, char* root, size_t size);

// Sets RemovableSource from the type of the drive that InstallerPath lies
// on. A registration names files in that folder for as long as it exists:
// a floppy or other removable disk and a CD leave the drive, a RAM disk is
// gone at the next start of Windows. Network drives, fixed disks and drives
// of unknown type are taken as the user's choice.
void CheckInstallSource(DriveInfo& drives, InstallerState* state);

// Steps 7 to 11 of start-up: the platform from GetVersionExA, the FORCE
// options, the adapter discovery on platform 1 (instance keys opened with
// KEY_READ, DriverDesc read into 256 bytes), the limit options and the
// clamps.
void PrepareInstallerState(Registry& reg, SystemInfo& sys,
                           const char* commandLine, InstallerState* state);

// prefix + "major.minor" of dwFileVersionMS + suffix, cut to the buffer.
void FormatVersionLine(char* out, size_t size, const char* prefix,
                       uint32_t fileVersionMS, const char* suffix);

// Top-left corner that centres a w x h window on a screen of cx x cy
// (divisions truncate toward zero).
void CentredOrigin(int32_t w, int32_t h, int32_t cx, int32_t cy, int32_t* x,
                   int32_t* y);

}  // namespace tachy
