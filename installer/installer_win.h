// The Windows side of the installer: the process's one InstallerState, the
// string loading, the main window procedure and the four dialogs.
#pragma once

#include <windows.h>

#include "installer/flow.h"
#include "installer/state.h"

namespace tachy {

// The process's one state (plain static data).
InstallerState& TheInstallerState();

// Loads string index k (1..35) of the current language (stringBase + k)
// from the installer's own string table; "" when it is missing.
void LoadInstallerString(int32_t k, char* buf, int size);

// Main window procedure: File/Exit, close, paint, destroy.
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam);

// Finds the page module beside the program: fills InstallerPath and
// PageModulePath and says whether the file is there.
bool LocatePageModule(InstallerState* state, const char* fileName);

// Reads FileVersionMS and CompanyName from the version block of the file at
// InstallerPath; 0 and "" for what cannot be read.
void ReadOwnVersion(InstallerState* state);

// Chooses the dialog's language (the system language, or the next one of
// the cycle after the hidden gesture) and sets the caption and every text
// of dialog `templateId` (503..506).
void SetDialogTexts(HWND dialog, int32_t templateId);

// "Version 3.2 English" from the program's own file version; empty when
// the program's own path could not be read.
void SetVersionLine(HWND dialog, int32_t prefixIndex, int32_t suffixIndex);

// Centres a window on the screen.
void CentreWindow(HWND window);

// Runs the dialogs modally with the hidden main window as owner.
class Win32InstallerUi : public InstallerUi {
 public:
  constexpr Win32InstallerUi() = default;
  int32_t RunDialog(int32_t templateId) override;
  void ShowActionFailure(ActionFailure which) override;
};

}  // namespace tachy
