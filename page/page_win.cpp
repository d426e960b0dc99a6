// The settings page's window: template 501 shown by the property sheet.
#include "page/page_win.h"

#include "page/layout_win.h"
#include "refresh/refresh_dialog_win.h"
#include "settings/win32registry_win.h"
#include "settings/win32system_win.h"
#include "shellext/module_win.h"

namespace tachy {

namespace {

PageServices SystemServices() {
  PageServices services;
  services.registry = &SystemRegistry();
  services.system = &SystemInformation();
  services.messages = &SystemMessages();
  return services;
}

}  // namespace

CVDPropPage::CVDPropPage()
    : PageModel(static_cast<PageView*>(this), SystemServices()) {
  LockModule();
  sheetPage_ = PROPSHEETPAGEA();
  // The Windows 95 size of the structure: every field used is in it.
  sheetPage_.dwSize = PROPSHEETPAGEA_V1_SIZE;
  sheetPage_.dwFlags = PSP_DEFAULT | PSP_USECALLBACK;
  sheetPage_.hInstance = ModuleInstance();
  sheetPage_.pszTemplate = MAKEINTRESOURCEA(kPageTemplateId);
  sheetPage_.pfnDlgProc = &CVDPropPage::DialogProc;
  sheetPage_.lParam = reinterpret_cast<LPARAM>(this);
  sheetPage_.pfnCallback = &CVDPropPage::PageCallback;
}

CVDPropPage::~CVDPropPage() { UnlockModule(); }

UINT CALLBACK CVDPropPage::PageCallback(HWND, UINT message,
                                        PROPSHEETPAGEA* page) {
  if (message == PSPCB_RELEASE && page)
    delete reinterpret_cast<CVDPropPage*>(page->lParam);
  return 1;
}

INT_PTR CALLBACK CVDPropPage::DialogProc(HWND window, UINT message,
                                         WPARAM wParam, LPARAM lParam) {
  CVDPropPage* page;
  if (message == WM_INITDIALOG) {
    // lParam is the sheet's copy of the description; its lParam is us.
    page = reinterpret_cast<CVDPropPage*>(
        reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
    page->window_ = window;
  } else {
    page = reinterpret_cast<CVDPropPage*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!page) return FALSE;
  return page->HandleMessage(message, wParam, lParam);
}

INT_PTR CVDPropPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_HSCROLL:
      OnHScroll(reinterpret_cast<HWND>(lParam) ==
                GetDlgItem(window_, kIdClockTrackbar));
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case kIdGlideVsync: OnGlideVsync(); return TRUE;
        case kIdD3DVsync: OnD3DVsync(); return TRUE;
        case kIdEnableClock: OnEnableClock(); return TRUE;
        case kIdRefreshRates: OnRefreshRates(); return TRUE;
        case kIdFactoryDefaults: OnFactoryDefaults(); return TRUE;
      }
      return FALSE;
    case WM_RBUTTONDOWN:
      OnRButtonDown(static_cast<uint32_t>(wParam));
      return FALSE;
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code == static_cast<UINT>(PSN_APPLY)) {
        const bool applied = OnApply();
        SetWindowLongPtrA(window_, DWLP_MSGRESULT,
                       applied ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE);
        return TRUE;
      }
      if (header->code == static_cast<UINT>(PSN_RESET)) {
        OnCancel();
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      window_ = nullptr;
      return FALSE;
  }
  return FALSE;
}

intptr_t CVDPropPage::SendTrackbar(uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) {
  return SendMessageA(GetDlgItem(window_, kIdClockTrackbar), message, wParam,
                      lParam);
}

int32_t CVDPropPage::GetCheck(int id) {
  return static_cast<int32_t>(
      SendMessageA(GetDlgItem(window_, id), BM_GETCHECK, 0, 0));
}

void CVDPropPage::SetCheck(int id, int32_t state) {
  SendMessageA(GetDlgItem(window_, id), BM_SETCHECK, static_cast<WPARAM>(state),
               0);
}

void CVDPropPage::Enable(int id, bool enable) {
  EnableWindow(GetDlgItem(window_, id), enable ? TRUE : FALSE);
}

void CVDPropPage::SetUnsigned(int id, uint32_t value) {
  SetDlgItemInt(window_, id, value, FALSE);
}

void CVDPropPage::SetSigned(int id, int32_t value) {
  SetDlgItemInt(window_, id, static_cast<UINT>(value), TRUE);
}

void CVDPropPage::SetText(int id, const char* text) {
  SetDlgItemTextA(window_, id, text);
}

void CVDPropPage::NotifySheet(bool modified) {
  SendMessageA(GetParent(window_), modified ? PSM_CHANGED : PSM_UNCHANGED,
               reinterpret_cast<WPARAM>(window_), 0);
}

int CVDPropPage::LoadText(int32_t id, char* buffer, int size) {
  return LoadStringA(ModuleInstance(), static_cast<UINT>(id), buffer, size);
}

void CVDPropPage::MoveControls(const ControlLayoutRow* table, int rows) {
  ApplyLayout(window_, table, rows);
}

void CVDPropPage::SetVersionLine(const char* prefix, const char* suffix) {
  tachy::SetVersionLine(ModuleInstance(), GetDlgItem(window_, kIdVersionLine),
                        prefix, suffix);
}

bool CVDPropPage::CursorOver(int id) { return CursorOverControl(window_, id); }

void CVDPropPage::ShowMessage(const char* text, const char* caption,
                              uint32_t type) {
  MessageBoxA(window_, text, caption, type);
}

void CVDPropPage::RunRefreshRates() { RunRefreshRateDialog(); }

WindowHandle CVDPropPage::Owner() {
  return reinterpret_cast<WindowHandle>(window_);
}

}  // namespace tachy
