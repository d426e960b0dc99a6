// Kept apart from test_fakes.h: the installer's string ids clash with the page's.
#pragma once

#include <algorithm>
#include <vector>

#include "installer/flow.h"
#include "installer/resource_ids.h"

namespace tachy {

// The installer's dialogs answered from a script (then OK), doing what the
// dialog procedures do before they end.
class ScriptedUi : public InstallerUi {
 public:
  ScriptedUi(InstallerState* state, std::vector<int32_t> answers, int32_t model = kModel3500)
      : model(model), state_(state), answers_(std::move(answers)) {}
  int32_t RunDialog(int32_t templateId) override {
    shown.push_back(templateId);
    int32_t answer = next_ < answers_.size() ? answers_[next_++] : kDialogOk;
    if (templateId == IDD_REINSTALL_REMOVE)
      state_->ReinstallRequested = answer == kDialogReinstall;
    if (templateId == IDD_SELECT_MODEL && answer == kDialogOk) state_->SelectedModel = model;
    return answer;
  }
  void ShowActionFailure(ActionFailure which) override { failures.push_back(which); }
  bool Shown(int32_t id) const { return std::find(shown.begin(), shown.end(), id) != shown.end(); }

  int32_t model;
  std::vector<int32_t> shown;
  std::vector<ActionFailure> failures;

 private:
  InstallerState* state_;
  std::vector<int32_t> answers_;
  size_t next_ = 0;
};

}  // namespace tachy
