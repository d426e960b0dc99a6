// The two dialog flows of the installer, apart from the dialogs themselves:
// which dialog follows which, and when the registry work runs.
#pragma once

#include <stdint.h>

#include "installer/state.h"
#include "installer/strings.h"
#include "settings/regapi.h"

namespace tachy {

// Results a dialog ends with; DialogBoxParamA gives -1 when it cannot
// show the dialog.
constexpr int32_t kDialogOk = 1;
constexpr int32_t kDialogCancel = 2;
constexpr int32_t kDialogClosed = 0xF060;  // SC_CLOSE
constexpr int32_t kDialogReinstall = 1006;
constexpr int32_t kDialogRemove = 1007;
constexpr int32_t kDialogFailed = -1;

// Exit codes of the installer, so that a script that runs it can tell what
// came of it; each refusal and failure changes nothing but where it says.
constexpr int32_t kExitDone = 0;           // done, or cancelled by the user
constexpr int32_t kExitRemovable = 1;      // started from removable media
constexpr int32_t kExitNoModule = 2;       // TACHPAGE.DLL is not beside it
constexpr int32_t kExitInstallFailed = 3;  // registry refused part of the install
constexpr int32_t kExitRemoveFailed = 4;   // registry refused part of a removal
constexpr int32_t kExitNoWindow = 5;       // no window class or first dialog

// What the flows need from the windowing side.
class InstallerUi {
 public:
  // Runs dialog 503..506 modally with the main window as owner and returns
  // its result.
  virtual int32_t RunDialog(int32_t templateId) = 0;
  // Tells the user that the registry refused an install or a removal.
  virtual void ShowActionFailure(ActionFailure which) = 0;

 protected:
  ~InstallerUi() = default;
};

// Started from removable media (RemovableSource), only the message that
// says so, and kExitRemovable. Otherwise Select Model; on OK the removal
// first when a reinstall was asked for, then the install; then the
// Installed dialog, or the failure message when the registry refused part
// of the work. A removal before a reinstall that fails ends the flow with
// the removal's failure message and installs nothing: the product stays
// registered, and the next run offers the removal again. Cancel or the
// close box change nothing. Returns the exit code.
int32_t RunInstallFlow(Registry& reg, InstallerState* state, InstallerUi& ui,
                       uint32_t keySet);

// Reinstall or Remove: Reinstall goes on with the install flow (same key
// set), Remove removes and shows the Removed dialog (or the failure
// message); anything else changes nothing.
int32_t RunReinstallOrRemoveFlow(Registry& reg, InstallerState* state,
                                 InstallerUi& ui, uint32_t keySet);

// The flow that start-up hands over to: install when no registration key
// was found, else reinstall-or-remove. Returns the exit code.
int32_t RunInstallerFlow(Registry& reg, InstallerState* state, InstallerUi& ui);

}  // namespace tachy
