// The installer's registry work: which registration keys exist, writing a
// registration (product key, property-sheet handler key, COM class key) and
// removing one together with the display driver's clock and vsync values.
//
// Every step runs in the documented order; the result of each operation
// says whether everything it had to write or delete got written or deleted,
// so that the dialogs can tell the user when the registry refused (a user
// without administrator rights on NT).
#pragma once

#include <stdint.h>

#include "installer/state.h"
#include "settings/regapi.h"

namespace tachy {

// "{7A41C3E2-5B19-11d2-A4C7-0060B0D4E91F}"
extern const char kTachyClsidText[];
// Handler keys under HKEY_LOCAL_MACHINE.
extern const char kLegacyHandlerKey[];   // ...Display\...\Velomark
extern const char kDisplayHandlerKey[];  // ...Display\...\Tachymark
extern const char kDeviceHandlerKey[];   // ...Device\...\Tachymark
// The Add/Remove Programs entry under HKEY_LOCAL_MACHINE.
extern const char kUninstallKey[];       // ...CurrentVersion\Uninstall\Tachymark
// Class string of every key the installer creates.
extern const char kInstallerKeyClass[];  // "Tachymark"

// Opens each of the six registration keys for KEY_READ and returns the
// bits of those that opened (1, 4, 8, 16, 32, 64). The Add/Remove Programs
// entry alone counts too: started from there, the installer offers removal.
uint32_t DetectInstalledKeys(Registry& reg);

// Creates HKLM\Software\Tachymark and writes LowerLimit, UpperLimit, Model,
// DefaultClock, EnableClock "0", ColorDepth "8", LinkAllColorDepths "0" and
// the one Force value in force, stopping at the first failing write. True
// when every value was written.
bool WriteProductValues(Registry& reg, const InstallerState& state,
                        int32_t lower, int32_t upper, int32_t model);

// Creates HKLM\keyPath and sets its default value to the class id text.
bool WriteHandlerKey(Registry& reg, const char* keyPath);

// Deletes HKLM\keyPath when it can be opened for writing. An absent key is
// success; a key that is there but cannot be opened or deleted is failure.
bool DeleteKeyIfPresent(Registry& reg, const char* keyPath);

// Creates HKCR\CLSID\{...}\InProcServer32 with the module path as default
// value and ThreadingModel "Apartment"; stops at the first failure.
bool WriteClsidKey(Registry& reg, const char* modulePath);

// Creates the Add/Remove Programs entry and writes DisplayName "Tachymark",
// DisplayVersion (major.minor of FileVersionMS), Publisher (CompanyName),
// DisplayIcon (InstallerPath with ",0") and UninstallString (InstallerPath,
// quoted when it holds a blank, since the shell splits the command at
// blanks), stopping at the first failing write.
bool WriteUninstallEntry(Registry& reg, const InstallerState& state);

// Writes a registration. On platform 1 the handler goes under Device when
// AdvancedPanelOption is 1 (and a Display handler key is deleted), else under
// Display (and a Device handler key is deleted); on NT always under Display.
// The Add/Remove Programs entry comes last. Every step runs whatever the
// previous one achieved. True when all did.
bool InstallExtension(Registry& reg, const InstallerState& state,
                      const char* modulePath, int32_t lower, int32_t upper,
                      int32_t model);

// Deletes the driver values for adapter instance n (9x) or the NT values.
// Absent keys and values are skipped; true unless a key that exists could
// not be opened for writing or a value that exists could not be deleted.
bool ResetDriverValues(Registry& reg, PlatformKind kind, int32_t instance);

// Removes in an order that can always be finished: first resets the
// driver values (for every adapter of the list on platform 1, once for
// Device0 elsewhere); then deletes the keys of `keySet` in the order
// legacy, Display handler, Device handler, class key, product key, and
// last the Add/Remove Programs entry. With the class key go the ProgID key
// PROPERTY.PROPERTYINTERFACE that regsvr32 writes (with its CLSID subkey,
// and only when that names this class) and the class key's ProgID and
// InProcServer32 subkeys, each before its parent. A driver value that
// cannot be reset ends the removal before any key is deleted; the first key
// deletion that fails ends it there. Either way false, with the product key
// and the entry still in place, so that the installer and Add/Remove
// Programs offer the removal again. A key already gone
// (ERROR_FILE_NOT_FOUND) counts as deleted.
bool RemoveExtension(Registry& reg, const InstallerState& state,
                     uint32_t keySet);

}  // namespace tachy
