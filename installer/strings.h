// The installer's string table: three blocks of 35 strings (English ids
// 1..35, French 36..70, German 71..105). Code names a string by its index k;
// the id loaded is the current string base plus k. Two messages added later
// (the failure of an install or a removal) follow the table as ids 106..111,
// two per language, so that no earlier id moves; the refusal to install
// from a removable disk or a CD follows as 112..114, one per language.
#pragma once

#include <stdint.h>

namespace tachy {

enum InstallerString : int32_t {
  kStrClassName = 1,
  kStrWindowTitle = 2,
  kStrSelectCaption = 3,
  kStrSelectModel = 4,
  kStrModel3500 = 5,
  kStrModel3000 = 6,
  kStrModel2000 = 7,
  kStrDoNotInstall = 8,
  kStrWin98Option = 9,
  kStrAdvancedPanel = 10,
  kStrVersionPrefix = 11,
  kStrVersionSuffix = 12,
  kStrOk = 13,
  kStrCancel = 14,
  kStrInstallError = 15,
  kStrNoModel = 16,
  kStrPageModuleFile = 17,
  kStrModuleMissing = 18,
  kStrInstalledCaption = 19,
  kStrInstalledLine1 = 20,
  kStrInstalledLine2 = 21,
  kStrReinstallCaption = 24,
  kStrReinstallLine1 = 25,
  kStrReinstallLine2 = 26,
  kStrReinstallLine3 = 27,
  kStrReinstallButton = 29,
  kStrRemoveButton = 30,
  kStrRemovedCaption = 31,
  kStrRemovedLine1 = 32,
  kStrRemovedLine2 = 33,
};

constexpr int32_t kInstallerBlockSize = 35;
constexpr int32_t kInstallerStringCount = 105;

// The added failure messages.
enum ActionFailure : int32_t {
  kInstallFailed = 0,
  kRemoveFailed = 1,
  kRemovableSource = 2,
};
constexpr int32_t kFailureStringFirstId = 106;
constexpr int32_t kRemovableSourceFirstId = 112;

// Id of a failure message in the language of `stringBase` (0, 35 or 70):
// 106/107 English, 108/109 French, 110/111 German; the removable-source
// message 112 English, 113 French, 114 German.
int32_t FailureStringId(int32_t stringBase, ActionFailure which);

}  // namespace tachy
