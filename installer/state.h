// Everything the installer knows during its one run: what start-up found
// (platform, options, limits, adapters, language, page module path), the
// registration keys present at start-up, and the dialog flow's fields.
// One instance per process, used by one thread.
#pragma once

#include <stdint.h>

#include "settings/platform.h"

namespace tachy {

// Bits of InstalledKeySet (the value 2 is never used).
constexpr uint32_t kKeyLegacyVelomark = 1;
constexpr uint32_t kKeyProduct = 4;
constexpr uint32_t kKeyDisplayHandler = 8;
constexpr uint32_t kKeyDeviceHandler = 16;
constexpr uint32_t kKeyClsid = 32;
constexpr uint32_t kKeyUninstall = 64;  // the Add/Remove Programs entry

// Languages by primary language id.
constexpr uint16_t kInstLangEnglish = 9;
constexpr uint16_t kInstLangFrench = 12;
constexpr uint16_t kInstLangGerman = 7;

// Models as the Select Model dialog codes them.
constexpr int32_t kModelNone = 0;
constexpr int32_t kModel2000 = 1;
constexpr int32_t kModel3000 = 2;
constexpr int32_t kModel3500 = 3;

struct InstallerState {
  // The language state of the whole run (never reset): the next text
  // setting advances the cycle when cycleRequested is set; cycleLanguage is
  // the position in the cycle 9 -> 12 -> 7 -> 9; stringBase is 0, 35 or 70.
  struct LanguageState {
    int32_t cycleRequested;
    uint16_t cycleLanguage;
    int32_t stringBase;
  };
  struct Rect {
    int32_t left, top, right, bottom;  // screen coordinates
  };

  tachy::PlatformKind PlatformKind;
  int32_t IsWin98;
  int32_t Force95;
  int32_t Force98;
  int32_t ForceNT4;
  int32_t ForceNT5;
  int32_t LowerLimit;
  int32_t UpperLimit;
  tachy::AdapterList AdapterList;
  LanguageState language;
  char windowTitle[64];
  char className[64];
  char PageModulePath[256];
  uintptr_t mainWindow;  // HWND
  uintptr_t instance;    // HINSTANCE

  // The installer itself, for its Add/Remove Programs entry and the version
  // label: its full path, its file version's major and minor numbers
  // (dwFileVersionMS) and its version block's CompanyName.
  char InstallerPath[256];
  uint32_t FileVersionMS;
  char CompanyName[64];

  // Registration keys found at start-up.
  uint32_t InstalledKeySet;

  // 1 when the installer's own folder lies on a drive whose files are not
  // always there (a floppy or other removable disk, a CD, a RAM disk):
  // install and reinstall are refused, removal still runs.
  int32_t RemovableSource;

  // Dialog flow.
  int32_t currentChoice;  // model of the checked radio button, 0 none
  int32_t SelectedModel;  // model confirmed with OK
  int32_t AdvancedPanelOption;
  int32_t ReinstallRequested;
  Rect SavedDialogRect;
};

// The initial values: platform 1, limits 120 and 220, empty adapter list,
// language cycle at English, every text empty, everything else 0.
void InitInstallerState(InstallerState* state);

}  // namespace tachy
