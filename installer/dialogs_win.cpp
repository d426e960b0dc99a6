// The installer's four dialogs: Select Model (503), Reinstall or Remove
// (504), Installed (505) and Removed (506). Each sets its texts from the
// string table in the system language, answers the hidden language gesture
// (Ctrl+Shift+left button held, right click over its label), and stores its
// window rectangle when it ends so that the next dialog opens there.
#include <windows.h>

#include "installer/installer_win.h"
#include "installer/resource_ids.h"
#include "installer/startup.h"
#include "installer/strings.h"
#include "settings/text.h"
#include "settings/win32system_win.h"

namespace tachy {

namespace {

constexpr int kTextBytes = 512;

struct TextItem {
  int control;  // 0: the caption
  int32_t k;
};

struct DialogTexts {
  int32_t templateId;
  int gestureLabel;
  TextItem items[11];
  int count;
};

// In the order the texts are set; the Select Model dialog's version label
// (1013) is set in its place by SetVersionLine.
const DialogTexts kDialogTexts[] = {
    {IDD_SELECT_MODEL, IDC_VERSION_LABEL,
     {{0, kStrSelectCaption},
      {IDC_MODEL_GROUP, kStrSelectModel},
      {IDC_MODEL_3500, kStrModel3500},
      {IDC_MODEL_3000, kStrModel3000},
      {IDC_MODEL_2000, kStrModel2000},
      {IDC_MODEL_NONE, kStrDoNotInstall},
      {IDC_WIN98_GROUP, kStrWin98Option},
      {IDC_ADVANCED_PANEL, kStrAdvancedPanel},
      {IDC_VERSION_LABEL, 0},
      {IDOK, kStrOk},
      {IDCANCEL, kStrCancel}},
     11},
    {IDD_INSTALLED, IDC_INST_LINE1,
     {{0, kStrInstalledCaption},
      {IDC_INST_LINE1, kStrInstalledLine1},
      {IDC_INST_LINE2, kStrInstalledLine2},
      {IDOK, kStrOk}},
     4},
    {IDD_REINSTALL_REMOVE, IDC_RR_LINE1,
     {{0, kStrReinstallCaption},
      {IDC_RR_LINE1, kStrReinstallLine1},
      {IDC_RR_LINE2, kStrReinstallLine2},
      {IDC_RR_LINE3, kStrReinstallLine3},
      {IDC_REINSTALL, kStrReinstallButton},
      {IDC_REMOVE, kStrRemoveButton},
      {IDCANCEL, kStrCancel}},
     7},
    {IDD_REMOVED, IDC_REM_LINE1,
     {{0, kStrRemovedCaption},
      {IDC_REM_LINE1, kStrRemovedLine1},
      {IDC_REM_LINE2, kStrRemovedLine2},
      {IDOK, kStrOk}},
     4},
};

const DialogTexts* TextsOf(int32_t templateId) {
  for (const DialogTexts& d : kDialogTexts) {
    if (d.templateId == templateId) return &d;
  }
  return nullptr;
}

HINSTANCE Instance() {
  return reinterpret_cast<HINSTANCE>(TheInstallerState().instance);
}

// Every path that ends a dialog stores its rectangle first.
void SavePositionAndEnd(HWND dialog, WPARAM wParam) {
  RECT r;
  if (GetWindowRect(dialog, &r)) {
    InstallerState::Rect& saved = TheInstallerState().SavedDialogRect;
    saved.left = r.left;
    saved.top = r.top;
    saved.right = r.right;
    saved.bottom = r.bottom;
  }
  EndDialog(dialog, LOWORD(wParam));
}

// The top-left corner where the previous dialog was, with the own size.
void PlaceAtSavedPosition(HWND dialog) {
  RECT r;
  GetWindowRect(dialog, &r);
  const InstallerState::Rect& saved = TheInstallerState().SavedDialogRect;
  MoveWindow(dialog, saved.left, saved.top, r.right - r.left, r.bottom - r.top,
             TRUE);
}

// Ctrl, Shift and the left button held, right button pressed over the
// dialog's label: the next language of the cycle.
void LanguageGesture(HWND dialog, WPARAM keys, int32_t templateId) {
  const WPARAM needed = MK_LBUTTON | MK_CONTROL | MK_SHIFT;
  if ((keys & needed) != needed) return;
  const DialogTexts* texts = TextsOf(templateId);
  if (!texts) return;
  POINT cursor;
  RECT label;
  if (!GetCursorPos(&cursor)) return;
  if (!GetWindowRect(GetDlgItem(dialog, texts->gestureLabel), &label)) return;
  if (!PtInRect(&label, cursor)) return;
  TheInstallerState().language.cycleRequested = 1;
  SetDialogTexts(dialog, templateId);
}

INT_PTR CALLBACK SelectModelDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                       LPARAM) {
  InstallerState& s = TheInstallerState();
  switch (message) {
    case WM_INITDIALOG:
      SetDialogTexts(dialog, IDD_SELECT_MODEL);
      s.currentChoice = kModelNone;
      CheckRadioButton(dialog, IDC_MODEL_NONE, IDC_MODEL_3500, IDC_MODEL_NONE);
      s.AdvancedPanelOption = 0;
      CheckDlgButton(dialog, IDC_ADVANCED_PANEL, BST_UNCHECKED);
      EnableWindow(GetDlgItem(dialog, IDC_ADVANCED_PANEL), s.IsWin98 != 0);
      EnableWindow(GetDlgItem(dialog, IDC_WIN98_GROUP), s.IsWin98 != 0);
      if (s.ReinstallRequested == 1) {
        PlaceAtSavedPosition(dialog);
      } else {
        CentreWindow(dialog);
      }
      return TRUE;
    case WM_COMMAND:
      switch (wParam) {
        case IDC_MODEL_NONE:
        case IDC_MODEL_2000:
        case IDC_MODEL_3000:
        case IDC_MODEL_3500:
          s.currentChoice = static_cast<int32_t>(wParam - IDC_MODEL_NONE);
          CheckRadioButton(dialog, IDC_MODEL_NONE, IDC_MODEL_3500,
                           static_cast<int>(wParam));
          return TRUE;
        case IDC_ADVANCED_PANEL: {
          UINT state = IsDlgButtonChecked(dialog, IDC_ADVANCED_PANEL) == BST_CHECKED
                           ? BST_UNCHECKED
                           : BST_CHECKED;
          CheckDlgButton(dialog, IDC_ADVANCED_PANEL, state);
          s.AdvancedPanelOption = state == BST_CHECKED ? 1 : 0;
          return TRUE;
        }
        case IDOK:
          if (s.currentChoice == kModelNone) {
            char text[kTextBytes];
            char caption[kTextBytes];
            LoadInstallerString(kStrNoModel, text, sizeof text);
            LoadInstallerString(kStrInstallError, caption, sizeof caption);
            MessageBoxA(dialog, text, caption, MB_ICONERROR);
            s.SelectedModel = kModelNone;
            return TRUE;
          }
          s.SelectedModel = s.currentChoice;
          SavePositionAndEnd(dialog, wParam);
          return TRUE;
        case IDCANCEL:
          SavePositionAndEnd(dialog, wParam);
          return TRUE;
      }
      return FALSE;
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) {
        SavePositionAndEnd(dialog, wParam);
        return TRUE;
      }
      return FALSE;
    case WM_RBUTTONDOWN:
      LanguageGesture(dialog, wParam, IDD_SELECT_MODEL);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ReinstallRemoveDialogProc(HWND dialog, UINT message,
                                           WPARAM wParam, LPARAM) {
  InstallerState& s = TheInstallerState();
  switch (message) {
    case WM_INITDIALOG:
      SetDialogTexts(dialog, IDD_REINSTALL_REMOVE);
      CentreWindow(dialog);
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDC_REINSTALL || wParam == IDC_REMOVE || wParam == IDCANCEL) {
        s.ReinstallRequested = wParam == IDC_REINSTALL ? 1 : 0;
        SavePositionAndEnd(dialog, wParam);
        return TRUE;
      }
      return FALSE;
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) {
        s.ReinstallRequested = 0;
        SavePositionAndEnd(dialog, wParam);
        return TRUE;
      }
      return FALSE;
    case WM_RBUTTONDOWN:
      LanguageGesture(dialog, wParam, IDD_REINSTALL_REMOVE);
      return TRUE;
  }
  return FALSE;
}

// Installed (505) and Removed (506) differ only in their texts.
INT_PTR ResultDialog(HWND dialog, UINT message, WPARAM wParam, int32_t templateId) {
  switch (message) {
    case WM_INITDIALOG:
      SetDialogTexts(dialog, templateId);
      PlaceAtSavedPosition(dialog);
      return TRUE;
    case WM_COMMAND:
      if (wParam == IDOK) {
        SavePositionAndEnd(dialog, wParam);
        return TRUE;
      }
      return FALSE;
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) {
        SavePositionAndEnd(dialog, wParam);
        return TRUE;
      }
      return FALSE;
    case WM_RBUTTONDOWN:
      LanguageGesture(dialog, wParam, templateId);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK InstalledDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                     LPARAM) {
  return ResultDialog(dialog, message, wParam, IDD_INSTALLED);
}

INT_PTR CALLBACK RemovedDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                   LPARAM) {
  return ResultDialog(dialog, message, wParam, IDD_REMOVED);
}

}  // namespace

void SetDialogTexts(HWND dialog, int32_t templateId) {
  InstallerState& s = TheInstallerState();
  SelectLanguage(&s, PickDialogLanguage(&s, SystemLanguage(SystemInformation())));
  const DialogTexts* texts = TextsOf(templateId);
  if (!texts) return;
  char text[kTextBytes];
  for (int i = 0; i < texts->count; ++i) {
    const TextItem& item = texts->items[i];
    if (item.control == IDC_VERSION_LABEL && templateId == IDD_SELECT_MODEL) {
      SetVersionLine(dialog, kStrVersionPrefix, kStrVersionSuffix);
      continue;
    }
    LoadInstallerString(item.k, text, sizeof text);
    if (item.control == 0) {
      SetWindowTextA(dialog, text);
    } else {
      SetDlgItemTextA(dialog, item.control, text);
    }
  }
}

void SetVersionLine(HWND dialog, int32_t prefixIndex, int32_t suffixIndex) {
  const InstallerState& s = TheInstallerState();
  char label[64] = "";
  if (s.InstallerPath[0]) {
    char prefix[kTextBytes];
    char suffix[kTextBytes];
    LoadInstallerString(prefixIndex, prefix, sizeof prefix);
    LoadInstallerString(suffixIndex, suffix, sizeof suffix);
    FormatVersionLine(label, sizeof label, prefix, s.FileVersionMS, suffix);
  }
  SetWindowTextA(GetDlgItem(dialog, IDC_VERSION_LABEL), label);
}

void ReadOwnVersion(InstallerState* state) {
  state->FileVersionMS = 0;
  state->CompanyName[0] = 0;
  DWORD unused = 0;
  DWORD size = GetFileVersionInfoSizeA(state->InstallerPath, &unused);
  HGLOBAL block = size ? GlobalAlloc(GMEM_MOVEABLE, size) : NULL;
  if (!block) return;
  void* data = GlobalLock(block);
  if (data && GetFileVersionInfoA(state->InstallerPath, 0, size, data)) {
    void* found = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (VerQueryValueA(data, root, &found, &length) && found &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
      state->FileVersionMS = static_cast<VS_FIXEDFILEINFO*>(found)->dwFileVersionMS;
    }
    // CompanyName in the block's first language and code page.
    char query[64] = "\\VarFileInfo\\Translation";
    if (VerQueryValueA(data, query, &found, &length) && found && length >= 4) {
      const WORD* translation = static_cast<const WORD*>(found);
      wsprintfA(query, "\\StringFileInfo\\%04x%04x\\CompanyName", translation[0],
                translation[1]);
      if (VerQueryValueA(data, query, &found, &length) && found && length) {
        CopyText(state->CompanyName, sizeof state->CompanyName,
                 static_cast<const char*>(found));
      }
    }
  }
  if (data) GlobalUnlock(block);
  GlobalFree(block);
}

void CentreWindow(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  int32_t w = r.right - r.left;
  int32_t h = r.bottom - r.top;
  int32_t x, y;
  CentredOrigin(w, h, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                &x, &y);
  MoveWindow(window, x, y, w, h, TRUE);
}

int32_t Win32InstallerUi::RunDialog(int32_t templateId) {
  DLGPROC proc = nullptr;
  switch (templateId) {
    case IDD_SELECT_MODEL: proc = SelectModelDialogProc; break;
    case IDD_REINSTALL_REMOVE: proc = ReinstallRemoveDialogProc; break;
    case IDD_INSTALLED: proc = InstalledDialogProc; break;
    case IDD_REMOVED: proc = RemovedDialogProc; break;
    default: return -1;
  }
  InstallerState& s = TheInstallerState();
  return static_cast<int32_t>(DialogBoxParamA(
      Instance(), MAKEINTRESOURCEA(templateId),
      reinterpret_cast<HWND>(s.mainWindow), proc, 0));
}

void Win32InstallerUi::ShowActionFailure(ActionFailure which) {
  InstallerState& s = TheInstallerState();
  char text[kTextBytes];
  char caption[kTextBytes];
  if (LoadStringA(Instance(),
                  static_cast<UINT>(FailureStringId(s.language.stringBase, which)),
                  text, sizeof text) <= 0) {
    text[0] = 0;
  }
  LoadInstallerString(kStrInstallError, caption, sizeof caption);
  MessageBoxA(reinterpret_cast<HWND>(s.mainWindow), text, caption, MB_ICONERROR);
}

}  // namespace tachy
