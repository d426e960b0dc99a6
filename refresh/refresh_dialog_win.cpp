// The refresh-rate dialog (template 502): per resolution, a drop-down list of
// the three fixed choices and the rates the driver offers, for one colour
// depth or all four linked, and the adapter-wide default/optimal setting.
// Save and OK write straight to the driver's keys; Cancel writes nothing.
#include "refresh/refresh_dialog_win.h"

#include <windows.h>

#include "page/language.h"
#include "page/layout_win.h"
#include "refresh/refresh_layout.h"
#include "refresh/refresh_store.h"
#include "settings/platform.h"
#include "settings/win32registry_win.h"
#include "shellext/module_win.h"

namespace tachy {

namespace {

constexpr int kRefreshDialogTemplate = 502;
constexpr int kIdLink = 1032;
constexpr int kIdSave = 1033;
constexpr int kIdRestoreDefaults = 1034;
constexpr int kIdDefaultRate = 1050;
constexpr int kIdOptimalRate = 1051;
constexpr int kIdGroupRates = 1059;
constexpr int kIdDepthButtons[4] = {1028, 1029, 1030, 1031};
constexpr int32_t kDepths[4] = {8, 16, 24, 32};
constexpr int kIdGestureLabel = 1035;  // row 0's label, "640x480"
constexpr size_t kTextBufferChars = 512;

// The dialog has no owner, so the page stays usable while it runs and its
// button could start a second one inside the first one's modal loop. Both
// would work on the module's one ModeTable, and the outer one's Save would
// then write rows read by the inner one. A second request therefore only
// brings the open dialog to the front.
HWND gOpenDialog = nullptr;

// The dialog's state, kept with its window (DWL_USER) for the modal loop.
struct RefreshRateDialog {
  int32_t linkAllDepths;
  LanguageState language;
  int32_t colorDepth;
  AdapterList adapters;
  AdapterRefreshSetting adapterSetting;
  ChoiceWords choiceWords;
  char textBuffer[kTextBufferChars];
  // Not part of the record proper: the window and the registry it writes.
  HWND window;
  Registry* registry;

  BOOL OnInitDialog();
  BOOL ApplyDialogLanguage();
  void RefreshRows(int32_t instance, int32_t depth, bool withSelection);
  void FillChoiceList(const ModeRow& row);
  void SelectStoredChoice(const ModeRow& row);
  void ShowColorDepth(int32_t depth);
  void ShowAdapterSetting(AdapterRefreshSetting setting);
  void EnableAllRows(BOOL enable);
  int32_t SelectedInstance() const;
  void SaveChoices();

  void OnColorDepth(int32_t depth);
  void OnLinkAllDepths();
  void OnSave();
  void OnRestoreDefaults();
  void OnDefaultRate();
  void OnOptimalRate();
  void OnOK();
  void OnRButtonDown(WPARAM keyFlags);
};

// The selected entry of each row's list, for the store's writes.
class DialogChoices : public ChoiceSource {
 public:
  explicit DialogChoices(HWND dialog) : dialog_(dialog) {}
  bool SelectedText(int row, char* buf, size_t size) override {
    HWND list = GetDlgItem(dialog_, gModeTable.rows[row].listId);
    LRESULT index = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return false;
    // CB_GETLBTEXT takes no size: make sure the entry fits first.
    LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || static_cast<size_t>(length) >= size) return false;
    return SendMessageA(list, CB_GETLBTEXT, index,
                        reinterpret_cast<LPARAM>(buf)) != CB_ERR;
  }

 private:
  HWND dialog_;
};

void AddListEntry(void* list, const char* entry) {
  SendMessageA(static_cast<HWND>(list), CB_ADDSTRING, 0,
               reinterpret_cast<LPARAM>(entry));
}

int32_t RefreshRateDialog::SelectedInstance() const {
  if (adapters.selected < 0 || adapters.selected >= kMaxAdapters) return -1;
  return adapters.instances[adapters.selected];
}

BOOL RefreshRateDialog::OnInitDialog() {
  linkAllDepths = 0;
  ResetLanguageState(&language);
  colorDepth = 8;
  ClearAdapterList(&adapters);
  adapterSetting = RefreshDefault;
  for (int i = 0; i < 3; ++i) choiceWords[i][0] = 0;
  textBuffer[0] = 0;
  InitModeTable(&gModeTable);

  BuildAdapterList(*registry, &adapters);
  LoadDialogPreferences(*registry, &colorDepth, &linkAllDepths);
  ApplyDialogLanguage();
  if (SelectedInstance() >= 0)
    ReadAdapterRefreshSetting(*registry, SelectedInstance(), &adapterSetting);
  SendDlgItemMessageA(window, kIdLink, BM_SETCHECK,
                      linkAllDepths ? BST_CHECKED : BST_UNCHECKED, 0);
  ShowColorDepth(colorDepth);
  ShowAdapterSetting(adapterSetting);
  return TRUE;  // the focus goes to the OK button, first in the template
}

BOOL RefreshRateDialog::ApplyDialogLanguage() {
  uint16_t lang = PickLanguage(&language);
  language.stringBase = StringBaseFor(lang);
  ApplyLayout(window, RefreshLayoutFor(lang), kRefreshLayoutRows);

  LoadLanguageString(language, kStrRefreshCaption, textBuffer,
                     kTextBufferChars);
  SetWindowTextA(window, textBuffer);
  LoadLanguageString(language, kStrRefreshGroup, textBuffer, kTextBufferChars);
  SetDlgItemTextA(window, kIdGroupRates, textBuffer);
  for (int i = 0; i < 3; ++i)
    LoadLanguageString(language, kStrChoiceAdapter + i, choiceWords[i],
                       kChoiceWordChars);
  for (int i = 0; i < kRefreshTextControlCount; ++i) {
    LoadLanguageString(language, kStrRefreshFirstControl + i, textBuffer,
                       kTextBufferChars);
    SetDlgItemTextA(window, kRefreshTextControls[i], textBuffer);
  }

  RefreshRows(SelectedInstance(), 8, false);
  RefreshRows(SelectedInstance(), colorDepth, true);
  return TRUE;
}

void RefreshRateDialog::RefreshRows(int32_t instance, int32_t depth,
                                    bool withSelection) {
  for (int i = 0; i < kModeRowCount; ++i) {
    ModeRow& row = gModeTable.rows[i];
    if (instance >= 0)
      ReadModeRow(*registry, instance, depth, &row);
    else
      ClearModeRow(&row);  // no adapter: every row is absent
    if (depth == 8) FillChoiceList(row);
    if (withSelection) SelectStoredChoice(row);
    BOOL enable = (linkAllDepths != 0 || row.keyExists == 1) ? TRUE : FALSE;
    EnableWindow(GetDlgItem(window, row.labelId), enable);
    EnableWindow(GetDlgItem(window, row.listId), enable);
  }
}

void RefreshRateDialog::FillChoiceList(const ModeRow& row) {
  HWND list = GetDlgItem(window, row.listId);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < 3; ++i) {
    LoadLanguageString(language, kStrChoiceAdapter + i, textBuffer,
                       kTextBufferChars);
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(textBuffer));
  }
  ForEachRateEntry(row.rateList, AddListEntry, list);
}

void RefreshRateDialog::SelectStoredChoice(const ModeRow& row) {
  // The first entry beginning with the text, in any case; no match leaves
  // the selection alone.
  SendDlgItemMessageA(
      window, row.listId, CB_SELECTSTRING, static_cast<WPARAM>(-1),
      reinterpret_cast<LPARAM>(ChoiceSearchText(row.choiceText, choiceWords)));
}

void RefreshRateDialog::ShowColorDepth(int32_t depth) {
  for (int i = 0; i < 4; ++i) {
    bool checked = linkAllDepths == 0 && depth == kDepths[i];
    SendDlgItemMessageA(window, kIdDepthButtons[i], BM_SETCHECK,
                        checked ? BST_CHECKED : BST_UNCHECKED, 0);
    EnableWindow(GetDlgItem(window, kIdDepthButtons[i]),
                 linkAllDepths == 0 ? TRUE : FALSE);
  }
}

void RefreshRateDialog::ShowAdapterSetting(AdapterRefreshSetting setting) {
  SendDlgItemMessageA(window, kIdDefaultRate, BM_SETCHECK,
                      setting == RefreshDefault ? BST_CHECKED : BST_UNCHECKED,
                      0);
  SendDlgItemMessageA(window, kIdOptimalRate, BM_SETCHECK,
                      setting == RefreshOptimal ? BST_CHECKED : BST_UNCHECKED,
                      0);
}

void RefreshRateDialog::EnableAllRows(BOOL enable) {
  for (int i = 0; i < kModeRowCount; ++i) {
    EnableWindow(GetDlgItem(window, gModeTable.rows[i].labelId), enable);
    EnableWindow(GetDlgItem(window, gModeTable.rows[i].listId), enable);
  }
}

void RefreshRateDialog::SaveChoices() {
  DialogChoices choices(window);
  tachy::SaveChoices(*registry, adapters, colorDepth, linkAllDepths,
                     adapterSetting, choiceWords, choices, &gModeTable);
}

void RefreshRateDialog::OnColorDepth(int32_t depth) {
  colorDepth = depth;
  ShowColorDepth(colorDepth);
  RefreshRows(SelectedInstance(), colorDepth, true);
}

void RefreshRateDialog::OnLinkAllDepths() {
  if (SendDlgItemMessageA(window, kIdLink, BM_GETCHECK, 0, 0) == BST_UNCHECKED) {
    SendDlgItemMessageA(window, kIdLink, BM_SETCHECK, BST_CHECKED, 0);
    linkAllDepths = 1;
    EnableAllRows(TRUE);
    ShowColorDepth(colorDepth);
  } else {
    SendDlgItemMessageA(window, kIdLink, BM_SETCHECK, BST_UNCHECKED, 0);
    linkAllDepths = 0;
    RefreshRows(SelectedInstance(), colorDepth, true);
    ShowColorDepth(colorDepth);
  }
}

void RefreshRateDialog::OnSave() { SaveChoices(); }

void RefreshRateDialog::OnRestoreDefaults() {
  for (int i = 0; i < kModeRowCount; ++i)
    SendDlgItemMessageA(window, gModeTable.rows[i].listId, CB_SELECTSTRING,
                        static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(choiceWords[ChoiceAdapter]));
  adapterSetting = RefreshDefault;
  ShowAdapterSetting(adapterSetting);
}

void RefreshRateDialog::OnDefaultRate() {
  adapterSetting = RefreshDefault;
  ShowAdapterSetting(adapterSetting);
}

void RefreshRateDialog::OnOptimalRate() {
  adapterSetting = RefreshOptimal;
  ShowAdapterSetting(adapterSetting);
}

void RefreshRateDialog::OnOK() {
  SaveChoices();
  EndDialog(window, IDOK);
}

void RefreshRateDialog::OnRButtonDown(WPARAM keyFlags) {
  const WPARAM needed = MK_LBUTTON | MK_CONTROL | MK_SHIFT;
  if ((keyFlags & needed) != needed) return;
  if (!CursorOverControl(window, kIdGestureLabel)) return;
  language.cycleRequested = 1;
  ApplyDialogLanguage();
}

INT_PTR CALLBACK RefreshDialogProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    RefreshRateDialog* dialog = reinterpret_cast<RefreshRateDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->window = window;
    gOpenDialog = window;
    return dialog->OnInitDialog();
  }
  RefreshRateDialog* dialog = reinterpret_cast<RefreshRateDialog*>(
      GetWindowLongPtrA(window, DWLP_USER));
  if (!dialog) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case 1028: dialog->OnColorDepth(8); return TRUE;
        case 1029: dialog->OnColorDepth(16); return TRUE;
        case 1030: dialog->OnColorDepth(24); return TRUE;
        case 1031: dialog->OnColorDepth(32); return TRUE;
        case kIdLink: dialog->OnLinkAllDepths(); return TRUE;
        case kIdSave: dialog->OnSave(); return TRUE;
        case kIdRestoreDefaults: dialog->OnRestoreDefaults(); return TRUE;
        case kIdDefaultRate: dialog->OnDefaultRate(); return TRUE;
        case kIdOptimalRate: dialog->OnOptimalRate(); return TRUE;
        case IDOK: dialog->OnOK(); return TRUE;
        case IDCANCEL: EndDialog(window, IDCANCEL); return TRUE;
        default: return FALSE;
      }
    case WM_RBUTTONDOWN:
      dialog->OnRButtonDown(wParam);
      return FALSE;  // the default handling follows in every case
    default:
      return FALSE;
  }
}

}  // namespace

void RunRefreshRateDialog() {
  if (gOpenDialog) {  // cleared when the modal loop returns
    SetForegroundWindow(gOpenDialog);
    return;
  }
  RefreshRateDialog dialog;
  dialog.window = nullptr;
  dialog.registry = &SystemRegistry();
  DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(kRefreshDialogTemplate),
                  nullptr, RefreshDialogProc,
                  reinterpret_cast<LPARAM>(&dialog));
  gOpenDialog = nullptr;
}

}  // namespace tachy
