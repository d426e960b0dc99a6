#include "installer/flow.h"

#include "installer/actions.h"
#include "installer/resource_ids.h"

namespace tachy {

void RunInstallFlow(Registry& reg, InstallerState* state, InstallerUi& ui,
                    uint32_t keySet) {
  int32_t result = ui.RunDialog(IDD_SELECT_MODEL);
  if (result != kDialogOk) return;
  if (state->ReinstallRequested == 1 && !RemoveExtension(reg, *state, keySet)) {
    ui.ShowActionFailure(kRemoveFailed);
  } else if (InstallExtension(reg, *state, state->PageModulePath,
                              state->LowerLimit, state->UpperLimit,
                              state->SelectedModel)) {
    ui.RunDialog(IDD_INSTALLED);
  } else {
    ui.ShowActionFailure(kInstallFailed);
  }
}

void RunReinstallOrRemoveFlow(Registry& reg, InstallerState* state,
                              InstallerUi& ui, uint32_t keySet) {
  int32_t result = ui.RunDialog(IDD_REINSTALL_REMOVE);
  if (result == kDialogReinstall) {
    RunInstallFlow(reg, state, ui, keySet);
  } else if (result == kDialogRemove) {
    if (RemoveExtension(reg, *state, keySet)) {
      ui.RunDialog(IDD_REMOVED);
    } else {
      ui.ShowActionFailure(kRemoveFailed);
    }
  }
}

void RunInstallerFlow(Registry& reg, InstallerState* state, InstallerUi& ui) {
  if (state->InstalledKeySet == 0) {
    RunInstallFlow(reg, state, ui, state->InstalledKeySet);
  } else {
    RunReinstallOrRemoveFlow(reg, state, ui, state->InstalledKeySet);
  }
}

}  // namespace tachy
