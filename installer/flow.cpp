#include "installer/flow.h"

#include "installer/actions.h"
#include "installer/resource_ids.h"

namespace tachy {

namespace {

// The failure message, and the exit code that goes with it.
int32_t Refuse(InstallerUi& ui, ActionFailure which) {
  static const int8_t kExitCodes[] = {kExitInstallFailed, kExitRemoveFailed,
                                      kExitRemovable};
  ui.ShowActionFailure(which);
  return kExitCodes[which];
}

// A dialog answered without going on: the user's choice, or no dialog.
int32_t Stopped(int32_t answer) {
  return answer == kDialogFailed ? kExitNoWindow : kExitDone;
}

}  // namespace

int32_t RunInstallFlow(Registry& reg, InstallerState* state, InstallerUi& ui,
                       uint32_t keySet) {
  if (state->RemovableSource) return Refuse(ui, kRemovableSource);
  int32_t answer = ui.RunDialog(IDD_SELECT_MODEL);
  if (answer != kDialogOk) return Stopped(answer);
  if (state->ReinstallRequested == 1 && !RemoveExtension(reg, *state, keySet)) {
    return Refuse(ui, kRemoveFailed);
  }
  if (!InstallExtension(reg, *state, state->PageModulePath, state->LowerLimit,
                        state->UpperLimit, state->SelectedModel)) {
    return Refuse(ui, kInstallFailed);
  }
  ui.RunDialog(IDD_INSTALLED);
  return kExitDone;
}

int32_t RunReinstallOrRemoveFlow(Registry& reg, InstallerState* state,
                                 InstallerUi& ui, uint32_t keySet) {
  int32_t result = ui.RunDialog(IDD_REINSTALL_REMOVE);
  if (result == kDialogReinstall) {
    return RunInstallFlow(reg, state, ui, keySet);
  }
  if (result == kDialogRemove) {
    if (!RemoveExtension(reg, *state, keySet)) return Refuse(ui, kRemoveFailed);
    ui.RunDialog(IDD_REMOVED);
  }
  return Stopped(result);
}

int32_t RunInstallerFlow(Registry& reg, InstallerState* state, InstallerUi& ui) {
  if (state->InstalledKeySet == 0) {
    return RunInstallFlow(reg, state, ui, state->InstalledKeySet);
  }
  return RunReinstallOrRemoveFlow(reg, state, ui, state->InstalledKeySet);
}

}  // namespace tachy
