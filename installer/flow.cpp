#include "installer/flow.h"

#include "installer/actions.h"
#include "installer/resource_ids.h"

namespace tachy {

int32_t RunInstallFlow(Registry& reg, InstallerState* state, InstallerUi& ui,
                       uint32_t keySet) {
  if (state->RemovableSource) {
    ui.ShowActionFailure(kRemovableSource);
    return kExitRefused;
  }
  if (ui.RunDialog(IDD_SELECT_MODEL) != kDialogOk) return kExitDone;
  if (state->ReinstallRequested == 1 && !RemoveExtension(reg, *state, keySet)) {
    ui.ShowActionFailure(kRemoveFailed);
  } else if (InstallExtension(reg, *state, state->PageModulePath,
                              state->LowerLimit, state->UpperLimit,
                              state->SelectedModel)) {
    ui.RunDialog(IDD_INSTALLED);
  } else {
    ui.ShowActionFailure(kInstallFailed);
  }
  return kExitDone;
}

int32_t RunReinstallOrRemoveFlow(Registry& reg, InstallerState* state,
                                 InstallerUi& ui, uint32_t keySet) {
  int32_t result = ui.RunDialog(IDD_REINSTALL_REMOVE);
  if (result == kDialogReinstall) {
    return RunInstallFlow(reg, state, ui, keySet);
  }
  if (result == kDialogRemove) {
    if (RemoveExtension(reg, *state, keySet)) {
      ui.RunDialog(IDD_REMOVED);
    } else {
      ui.ShowActionFailure(kRemoveFailed);
    }
  }
  return kExitDone;
}

int32_t RunInstallerFlow(Registry& reg, InstallerState* state, InstallerUi& ui) {
  if (state->InstalledKeySet == 0) {
    return RunInstallFlow(reg, state, ui, state->InstalledKeySet);
  }
  return RunReinstallOrRemoveFlow(reg, state, ui, state->InstalledKeySet);
}

}  // namespace tachy
